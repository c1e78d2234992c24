// The JSON forms of error records and contexts (they need the JSON layer, the rest of the error
// model does not).

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"

namespace nuvo {

VJSONObject* VErrorBase::CreateJSONObject() const
{
    VJSONObject* object = new VJSONObject();
    VString signature;
    signature.FromOsType(ComponentOf(fError));
    VString message;
    GetErrorDescription(message);
    (void)object->SetProperty(VString("errCode"), VJSONValue(double(NumberOf(fError))));
    (void)object->SetProperty(VString("componentSignature"), VJSONValue(signature));
    (void)object->SetProperty(VString("message"), VJSONValue(message));
    return object;
}

void VErrorContext::SaveToJSONArray(VJSONValue& out) const
{
    if (fErrors.empty()) {
        out.SetUndefined();
        return;
    }
    VJSONArray* array = new VJSONArray();
    for (const VRefPtr<VErrorBase>& record : fErrors) {
        VJSONObject* object = record->CreateJSONObject();
        (void)array->Push(VJSONValue(object));
        object->Release();
    }
    out.SetArray(array);
    array->Release();
}

} // namespace nuvo
