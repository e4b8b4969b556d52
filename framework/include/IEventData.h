#pragma once

// What travels with a fired event. The framework never looks inside it.
//
// With a synchronous event the caller keeps the data. With an asynchronous
// one the framework takes it over when FireEvent is called and calls
// Release() exactly once: after delivery; undelivered, when the event
// thread stops; or at once, when the event is refused because the
// framework is not running (not yet started, or stopping), which the
// caller is not told.
class IEventData
{
public:
    // The framework never deletes event data itself; the destructor is here
    // so that producers may own their data through this interface.
    virtual ~IEventData() {}
    virtual void Release() = 0;
};
