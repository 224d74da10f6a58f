#pragma once
#include <QString>

namespace QsLogging {

// Fixed underlying type: any int is a valid Level, so values outside 0..6 can
// travel through the logger and still format.
enum Level : int {
    Trace = 0,
    Debug = 1,
    Info = 2,
    Warn = 3,
    Error = 4,
    Fatal = 5,
    Off = 6
};

// The five-character tag of a log line ("INFO " and "WARN " end in a space).
QString levelTag(Level level);

// The translated name shown to the operator; null for Off and unknown values.
QString levelDisplayName(Level level);

}  // namespace QsLogging
