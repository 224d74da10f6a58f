#include "Globals.h"

ConfigSettings* CONFIG_SETTINGS = nullptr;
Updater* UPDATER = nullptr;
MailboxComm* MAILBOX_COMM = nullptr;
DialogLogin* DIALOG_LOGIN = nullptr;

double POS_SCALE_X[2] = {1.0, 1.0};
double POS_SCALE_Y[2] = {1.0, 1.0};

QString HW_TIMESTAMP;
QString SW_VERSION;
QString PID_VERSION;

std::atomic<int> BPM_SEL_X{0};
std::atomic<int> BPM_SEL_Y{0};
std::atomic<int> BPM_SEL_I0{0};

std::atomic<int> PID_BASE_FREQ{100000};

int USER_LEVEL = 0;

extern "C" {
int SAMP_FREQ = 1000;
}
int DISPLAY_BUFFER_BYTES = 3670016;
