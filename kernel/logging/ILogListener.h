#pragma once

#include <vector>

#include "kernel/base/IRefCountable.h"

namespace nuvo {

class VValueBag;

// Receives batches of log messages, in the order they were logged. Called with the logger's
// listener lock held: an implementation must not add or remove listeners from Put, and keeps
// its own failures to itself. The bags are only borrowed for the call.
class ILogListener : public IRefCountable {
public:
    virtual void Put(const std::vector<const VValueBag*>& bags) = 0;
};

} // namespace nuvo
