#pragma once
// Process-wide state shared by every subsystem. main fills the singleton pointers.
#include <QString>

#include <atomic>

class ConfigSettings;
class Updater;
class MailboxComm;
class DialogLogin;

extern ConfigSettings* CONFIG_SETTINGS;
extern Updater* UPDATER;
extern MailboxComm* MAILBOX_COMM;
extern DialogLogin* DIALOG_LOGIN;

// Per BPM (0 BPM1, 1 BPM2): raw position to micrometres.
extern double POS_SCALE_X[2];
extern double POS_SCALE_Y[2];

// Empty while the controller's versions could not be read.
extern QString HW_TIMESTAMP;
extern QString SW_VERSION;
extern QString PID_VERSION;

// Which BPM (0 or 1) feeds the X, Y and intensity loops, BPM_SEL_UNKNOWN while
// no read has told it. Written by the device thread and the GUI thread: atomic
// so that no reader sees a torn value.
inline constexpr int BPM_SEL_UNKNOWN = -1;
extern std::atomic<int> BPM_SEL_X;
extern std::atomic<int> BPM_SEL_Y;
extern std::atomic<int> BPM_SEL_I0;

// PID base rate, Hz: 100000, and 5000 once an encoder-box change was seen.
extern std::atomic<int> PID_BASE_FREQ;

// 0 cruise, 1 user, 2 admin; other values when the library fails.
extern int USER_LEVEL;

// Display stream: sample rate in Hz and the bytes of one read.
// SAMP_FREQ stays a plain exported int for the readers that look it up by name;
// the sweep thread writes it while the GUI thread reads it, so every access of
// ours goes through these two.
extern "C" int SAMP_FREQ;
inline int loadSampFreq() { return __atomic_load_n(&SAMP_FREQ, __ATOMIC_RELAXED); }
inline void storeSampFreq(int hz) { __atomic_store_n(&SAMP_FREQ, hz, __ATOMIC_RELAXED); }
extern int DISPLAY_BUFFER_BYTES;

enum UserLevel { USER_LEVEL_CRUISE = 0, USER_LEVEL_USER = 1, USER_LEVEL_ADMIN = 2 };

// Feedback status as the controller reports it.
typedef int PID_Status_Type;
enum { PID_STATUS_OFF = 0, PID_STATUS_OUT_OF_ROC = 1, PID_STATUS_BEAM_OFF = 2, PID_STATUS_ON = 3 };
// Not a status the controller reports: the poll could not read it.
inline constexpr PID_Status_Type PID_STATUS_UNKNOWN = -1;

// Regulated axes: 0 X, 1 X+Y, 2 X+I0, 3 Y, 4 Y+I0, 5 X+Y+I0, 6 I0.
typedef signed char RegulationCode;
