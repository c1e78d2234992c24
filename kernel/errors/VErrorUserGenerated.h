#pragma once

#include "kernel/errors/VErrorBase.h"

namespace nuvo {

// An error record whose text was written by the thrower: its description and its dump are that
// message, unchanged. Same ownership and thread rules as VErrorBase.
class VErrorUserGenerated : public VErrorBase {
public:
    VErrorUserGenerated(VError code, const VString& message);

    void GetErrorDescription(VString& out) const override;
    void DumpToString(VString& out) const override;

    const VString& GetMessage() const { return fMessage; }

protected:
    ~VErrorUserGenerated() override = default;

private:
    VString fMessage;
};

} // namespace nuvo
