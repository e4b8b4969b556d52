#pragma once

class IEventData;

// An event waiting on the event thread's queue; the queue owns its data.
struct AsyncEvent
{
    int eventId;
    IEventData *data;
    bool create;
};
