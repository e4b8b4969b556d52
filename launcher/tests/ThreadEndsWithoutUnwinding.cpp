#include <pthread.h>

extern "C" void *endWithoutUnwinding(void *barrier)
{
    if (barrier)
        pthread_barrier_wait(static_cast<pthread_barrier_t *>(barrier));
    pthread_exit(nullptr);
}
