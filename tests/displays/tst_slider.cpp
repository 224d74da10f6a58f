// The decade slider: its scale follows the decade of the value shown, the bar
// fills by percent of it, and the handle turns positions into values and back.
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#include <cmath>
#include <limits>

#include "Slider.h"

class TestSlider : public QObject
{
    Q_OBJECT

private:
    static QStringList labels(const Slider& slider)
    {
        auto* row = slider.findChild<QHBoxLayout*>(QStringLiteral("labelRow"));
        QStringList texts;
        for (int i = 0; row && i < row->count(); ++i) {
            if (auto* label = qobject_cast<QLabel*>(row->itemAt(i)->widget()))
                texts << label->text();
        }
        return texts;
    }

    static int ticks(const Slider& slider)
    {
        auto* row = slider.findChild<QHBoxLayout*>(QStringLiteral("tickRow"));
        int count = 0;
        for (int i = 0; row && i < row->count(); ++i) {
            auto* line = qobject_cast<QFrame*>(row->itemAt(i)->widget());
            if (line && line->frameShape() == QFrame::VLine)
                ++count;
        }
        return count;
    }

    static int bar(const Slider& slider) { return slider.findChild<QProgressBar*>(QStringLiteral("bar"))->value(); }
    static QSlider* handle(const Slider& slider) { return slider.findChild<QSlider*>(QStringLiteral("handle")); }

private slots:
    void startsAtZeroToOne()
    {
        Slider slider;
        QCOMPARE(labels(slider), (QStringList{"0", "0.2", "0.4", "0.6", "0.8", "1e+00"}));
        QCOMPARE(ticks(slider), 6);
        QCOMPARE(bar(slider), 0);
        QCOMPARE(handle(slider)->value(), 0);
        QCOMPARE(handle(slider)->maximum(), 99);
        QVERIFY(!slider.findChild<QProgressBar*>(QStringLiteral("bar"))->isTextVisible());
    }

    void scaleEndsAtTheDecade_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<int>("bar");

        QTest::newRow("2.5e-9 gives 0 to 1e-08, bar 25")
            << 2.5e-9f << QStringList{"0", "2e-09", "4e-09", "6e-09", "8e-09", "1e-08"} << 25;
        QTest::newRow("7.3e-8 gives 0 to 1e-07, bar 73")
            << 7.3e-8f << QStringList{"0", "2e-08", "4e-08", "6e-08", "8e-08", "1e-07"} << 73;
        QTest::newRow("0.5 gives the start scale, bar 50")
            << 0.5f << QStringList{"0", "0.2", "0.4", "0.6", "0.8", "1e+00"} << 50;
        QTest::newRow("1 is its own top and fills the bar")
            << 1.0f << QStringList{"0", "0.2", "0.4", "0.6", "0.8", "1e+00"} << 100;
        QTest::newRow("10 is its own top and fills the bar")
            << 10.0f << QStringList{"0", "2", "4", "6", "8", "1e+01"} << 100;
        QTest::newRow("100 is its own top and fills the bar")
            << 100.0f << QStringList{"0", "20", "40", "60", "80", "1e+02"} << 100;
        QTest::newRow("1e-6 is its own top and fills the bar")
            << 1e-6f << QStringList{"0", "2e-07", "4e-07", "6e-07", "8e-07", "1e-06"} << 100;
        QTest::newRow("just above a power of ten starts the next decade")
            << 1.01e-6f << QStringList{"0", "2e-06", "4e-06", "6e-06", "8e-06", "1e-05"} << 10;
    }

    void scaleEndsAtTheDecade()
    {
        QFETCH(float, value);
        QFETCH(QStringList, labels);
        QFETCH(int, bar);

        Slider slider;
        slider.setValue(value);
        QCOMPARE(TestSlider::labels(slider), labels);
        QCOMPARE(ticks(slider), 6);
        QCOMPARE(TestSlider::bar(slider), bar);
    }

    void rescalingReplacesTheScaleWidgets()
    {
        Slider slider;
        const int labelCount = slider.findChildren<QLabel*>().size();
        const int frameCount = slider.findChildren<QFrame*>().size();
        for (int i = 0; i < 20; ++i)
            slider.setValue(i % 2 ? 3e-7f : 4e-5f);
        QCOMPARE(slider.findChildren<QLabel*>().size(), labelCount);
        QCOMPARE(slider.findChildren<QFrame*>().size(), frameCount);
        QCOMPARE(ticks(slider), 6);
    }

    void noDecadeShowsAnEmptyBar_data()
    {
        QTest::addColumn<float>("value");
        QTest::newRow("no beam: 0") << 0.0f;
        QTest::newRow("no beam: slightly negative") << -3e-12f;
        QTest::newRow("negative zero") << -0.0f;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity();
    }

    void noDecadeShowsAnEmptyBar()
    {
        QFETCH(float, value);

        // From the start scale and from a measured one: the scale stays, the bar empties.
        for (const float before : {-1.0f, 7.3e-8f}) {
            Slider slider;
            if (before > 0)
                slider.setValue(before);
            const QStringList scale = labels(slider);
            slider.setValue(value);
            QCOMPARE(labels(slider), scale);
            QCOMPARE(bar(slider), 0);
            for (const QString& text : labels(slider)) {
                QVERIFY2(!text.contains(QLatin1String("nan"), Qt::CaseInsensitive), qPrintable(text));
                QVERIFY2(!text.contains(QLatin1String("inf"), Qt::CaseInsensitive), qPrintable(text));
            }
        }
    }

    void beamBackAfterNoDecadeRescales()
    {
        Slider slider;
        slider.setValue(0.0f);
        slider.setValue(2.5e-9f);
        QCOMPARE(labels(slider).last(), QStringLiteral("1e-08"));
        QCOMPARE(bar(slider), 25);
    }

    void barOutsideTheScaleIsPinned_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("bar");
        QTest::newRow("below min") << -0.1f << 0;
        QTest::newRow("min") << 0.0f << 0;
        QTest::newRow("max") << 1.0f << 100;
        QTest::newRow("above max") << 1.5f << 100;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
    }

    void barOutsideTheScaleIsPinned()
    {
        QFETCH(float, value);
        QFETCH(int, bar);
        Slider slider;
        slider.setBarValue(0.5f);
        slider.setBarValue(value);
        QCOMPARE(TestSlider::bar(slider), bar);
    }

    void handleEmitsPercentOfScale_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<float>("value");
        QTest::newRow("position 0") << 0 << 0.0f;
        QTest::newRow("position 50") << 50 << 5e-7f;
        QTest::newRow("position 99 stays below the top") << 99 << 9.9e-7f;
    }

    void handleEmitsPercentOfScale()
    {
        QFETCH(int, position);
        QFETCH(float, value);

        Slider slider;
        slider.setValue(5e-7f);  // 0 to 1e-06
        handle(slider)->setValue(position == 0 ? 1 : 0);
        QSignalSpy spy(&slider, &Slider::valueChanged);
        handle(slider)->setValue(position);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toFloat(), value);
    }

    void setSliderValueMovesTheHandle_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("position");
        QTest::newRow("5e-07 is position 50") << 5e-7f << 50;
        QTest::newRow("5.23e-07 truncates to 52") << 5.23e-7f << 52;
        QTest::newRow("5.25e-07 truncates to 52") << 5.25e-7f << 52;
        QTest::newRow("above max stops at 99") << 3e-6f << 99;
        QTest::newRow("the top itself stops at 99") << 1e-6f << 99;
        QTest::newRow("below min stops at 0") << -2e-7f << 0;
        QTest::newRow("huge value stops at 99") << 3e38f << 99;
    }

    void setSliderValueMovesTheHandle()
    {
        QFETCH(float, value);
        QFETCH(int, position);

        Slider slider;
        slider.setValue(5e-7f);
        handle(slider)->setValue(10);
        slider.setSliderValue(value);
        QCOMPARE(handle(slider)->value(), position);
    }

    // A handle's value, converted to nA or uA and back as the I0 field does,
    // must land on the same position; one position lower makes field and handle
    // walk each other down.
    void handleValueMapsBackToItsPosition_data()
    {
        QTest::addColumn<int>("exponent");
        QTest::addColumn<double>("unit");
        for (int exponent = -12; exponent <= 0; ++exponent) {
            QTest::addRow("decade 1e%d in nA", exponent) << exponent << 1e-9;
            QTest::addRow("decade 1e%d in uA", exponent) << exponent << 1e-6;
        }
    }

    void handleValueMapsBackToItsPosition()
    {
        QFETCH(int, exponent);
        QFETCH(double, unit);

        Slider slider;
        slider.setValue(static_cast<float>(std::pow(10.0, exponent)));
        QSignalSpy spy(&slider, &Slider::valueChanged);
        for (int position = 1; position < 100; ++position) {
            handle(slider)->setValue(position);
            const float value = spy.takeLast().at(0).toFloat();
            const double field = std::round(double(value) / unit * 1000.0) / 1000.0;  // three decimals
            if (std::fabs(field * unit - double(value)) > 1e-6 * double(value))
                continue;  // below the field's resolution: nothing to keep
            slider.setSliderValue(static_cast<float>(unit * field));
            QVERIFY2(handle(slider)->value() == position,
                     qPrintable(QStringLiteral("position %1 came back as %2").arg(position).arg(handle(slider)->value())));
        }
    }

    void rescaleKeepsTheHandle()
    {
        Slider slider;
        slider.setValue(5e-7f);
        slider.setSliderValue(4e-7f);
        QCOMPARE(handle(slider)->value(), 40);
        QSignalSpy spy(&slider, &Slider::valueChanged);
        slider.setValue(5e-5f);
        QCOMPARE(handle(slider)->value(), 40);
        QCOMPARE(spy.count(), 0);
    }

    void setScaleWithOtherBounds()
    {
        Slider slider;
        slider.clearScale();
        slider.setScale(4, 10.0f, 30.0f);
        QCOMPARE(labels(slider), (QStringList{"10", "15", "20", "25", "3e+01"}));
        QCOMPARE(ticks(slider), 5);
        slider.setBarValue(15.0f);
        QCOMPARE(bar(slider), 25);
        QSignalSpy spy(&slider, &Slider::valueChanged);
        handle(slider)->setValue(50);
        QCOMPARE(spy.at(0).at(0).toFloat(), 20.0f);
    }

    void sameDecadeKeepsItsLabels()
    {
        Slider slider;
        slider.setValue(5e-5f);
        const QList<QLabel*> before = slider.findChildren<QLabel*>();
        const QList<QFrame*> ticksBefore = slider.findChildren<QFrame*>();

        // A new value in the same decade moves the bar only.
        slider.setValue(7e-5f);
        QCOMPARE(bar(slider), 70);
        QCOMPARE(slider.findChildren<QLabel*>(), before);
        QCOMPARE(slider.findChildren<QFrame*>(), ticksBefore);

        // Another decade rebuilds the scale, once.
        slider.setValue(5e-4f);
        QCOMPARE(labels(slider).last(), QString("1e-03"));
        QCOMPARE(ticks(slider), 6);
        QCOMPARE(slider.findChildren<QLabel*>().size(), before.size());
    }
};

QTEST_MAIN(TestSlider)
#include "tst_slider.moc"
