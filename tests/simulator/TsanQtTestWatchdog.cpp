// Qt Test runs a watchdog QThread inside the uninstrumented Qt libraries, so
// ThreadSanitizer sees its condition variable torn down without the
// synchronisation Qt does internally. These tests create no QThread of their
// own, so a report that involves one is the watchdog's.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:QThread::start\n";
}
