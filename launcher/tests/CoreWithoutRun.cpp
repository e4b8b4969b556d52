// A framework library that lacks its entry point.

extern "C" __attribute__((visibility("default"))) int NotRun()
{
    return 0;
}
