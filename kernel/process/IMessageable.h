#pragma once

namespace nuvo {

class VMessage;

// A receiver of the toolkit's messages. This program sends none; the process object is one so
// that a message loop can be added without changing its shape. Not thread-safe by itself.
class IMessageable {
public:
    virtual ~IMessageable() = default;
    virtual void DoMessage(VMessage&) {}
};

} // namespace nuvo
