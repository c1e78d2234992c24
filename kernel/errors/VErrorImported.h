#pragma once

#include "kernel/errors/VErrorBase.h"

namespace nuvo {

// An error record received from elsewhere (a remote service) with its description already
// written: description and dump are that text, the location says where it came from. Same
// ownership and thread rules as VErrorBase.
class VErrorImported : public VErrorBase {
public:
    VErrorImported(VError code, const VString& description);

    void GetErrorDescription(VString& out) const override;
    void GetLocation(VString& out) const override;
    void DumpToString(VString& out) const override;

protected:
    ~VErrorImported() override = default;

private:
    VString fDescription;
};

} // namespace nuvo
