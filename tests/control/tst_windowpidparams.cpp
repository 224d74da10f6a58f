// The PID structure picture: its dialog, and a picture that is really there.
#include <QLabel>
#include <QtTest>

#include "WindowPIDparams.h"

class TestWindowPIDparams : public QObject
{
    Q_OBJECT

private slots:
    void formShowsTheStructurePicture()
    {
        WindowPIDparams window;
        QCOMPARE(window.windowTitle(), QString("PID Parameters"));
        QCOMPARE(window.size(), QSize(990, 351));
        QCOMPARE(window.findChild<QLabel*>("labelTitle")->text(), QString("PID Structure"));

        auto* picture = window.findChild<QLabel*>("labelPicture");
        QVERIFY(picture);
        QVERIFY(picture->hasScaledContents());
        const QPixmap shown = picture->pixmap();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.size(), QPixmap(":/images/images/VORN_PID.png").size());
    }

    void pictureIsADrawingNotABlank()
    {
        const QImage image = QImage(":/images/images/VORN_PID.png").convertToFormat(QImage::Format_RGB32);
        QVERIFY(!image.isNull());
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 100)
                    ++dark;
        // Lines and text, yet mostly background.
        QVERIFY(dark > image.width() * image.height() / 200);
        QVERIFY(dark < image.width() * image.height() / 4);
    }

    void showWindowIsNotModal()
    {
        QWidget parent;
        auto* window = new WindowPIDparams(&parent);
        parent.show();
        window->showWindow();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isModal());
        QCOMPARE(window->windowModality(), Qt::NonModal);
        window->close();
        QVERIFY(!window->isVisible());
        window->showWindow();
        QVERIFY(window->isVisible());
    }

    // The picture fills the dialog's width, whatever the image's own size.
    void pictureScalesToTheDialog()
    {
        WindowPIDparams window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), QSize(990, 351));
        auto* picture = window.findChild<QLabel*>("labelPicture");
        QVERIFY(picture->width() > 900);
        QVERIFY(picture->height() > 250);
    }
};

QTEST_MAIN(TestWindowPIDparams)
#include "tst_windowpidparams.moc"
