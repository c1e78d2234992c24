#pragma once

#include <initializer_list>

#include "kernel/base/VTypes.h"

namespace nuvo {

class VErrorContext;
class VErrorTaskContext;

// Installs an error context on the current task for a scope; on destruction the context is
// popped and its kept records pass to the enclosing context (logged first when silent). Without
// a current task the context stands alone. Installers nest strictly and must be destroyed on the
// task that created them. Not copyable.
class StErrorContextInstaller {
public:
    explicit StErrorContextInstaller(bool keepingErrors = true, bool silent = false);
    // A keeping, non-silent context that absorbs the listed codes; the list ends at the first 0:
    // StErrorContextInstaller installer(VE_FILE_NOT_FOUND, 0).
    template <class... MoreCodes>
    StErrorContextInstaller(VError filtered1, VError filtered2, MoreCodes... moreFiltered)
    {
        _Init(true, false);
        _AddFilters({filtered1, filtered2, VError(moreFiltered)...});
    }
    // A single code would silently pick the (bool, bool) form: end the list with 0.
    StErrorContextInstaller(VError) = delete;
    ~StErrorContextInstaller();
    StErrorContextInstaller(const StErrorContextInstaller&) = delete;
    StErrorContextInstaller& operator=(const StErrorContextInstaller&) = delete;

    // Null only when a context could not be allocated.
    VErrorContext* GetContext() const { return fContext; }
    // The installed context's last error (0 without a context).
    VError GetLastError() const;

private:
    void _Init(bool keepingErrors, bool silent);
    void _AddFilters(std::initializer_list<VError> codes);

    VErrorTaskContext* fTaskContext = nullptr;
    VErrorContext* fContext = nullptr;
    bool fSilent = false;
};

} // namespace nuvo
