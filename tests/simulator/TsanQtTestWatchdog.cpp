// Qt Test's watchdog thread lives in the uninstrumented Qt libraries, so
// ThreadSanitizer misses the synchronisation with which Qt tears it down. Both
// patterns match only Qt's own calls into the sanitizer's interceptors; the
// simulator's code and these tests never appear there.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QTest::qRun\n";
}
