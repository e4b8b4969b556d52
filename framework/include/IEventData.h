#pragma once

// What travels with a fired event. The framework never looks inside it.
//
// With a synchronous event the caller keeps the data. With an asynchronous
// one the framework takes it over once the event is queued and calls
// Release() exactly once, after delivery or, undelivered, when the event
// thread stops. An event the framework refuses stays with the caller.
class IEventData
{
public:
    // The framework never deletes event data itself; the destructor is here
    // so that producers may own their data through this interface.
    virtual ~IEventData() {}
    virtual void Release() = 0;
};
