// VString as a member of the value family: conversion from any single value and the pointer
// form stored by value bags (a 32-bit unit count in native order, then the UTF-16 units).

#include <cstring>

#include "kernel/text/VString.h"

namespace nuvo {

void VString::FromValue(const VValueSingle& other)
{
    if (&other == this)
        return;
    if (other.IsNull()) {
        Clear();
        SetNull(true);
        return;
    }
    other.GetString(*this);
}

size_t VString::GetSpace() const
{
    return sizeof(int32_t) + size_t(fLength) * sizeof(UniChar);
}

void* VString::WriteToPtr(void* data) const
{
    char* p = static_cast<char*>(data);
    int32_t length = fLength;
    std::memcpy(p, &length, sizeof length);
    p += sizeof length;
    if (length > 0)
        std::memcpy(p, fString, size_t(length) * sizeof(UniChar));
    return p + size_t(length) * sizeof(UniChar);
}

// The units are copied with memcpy: the stored form is only 2-byte aligned inside a bag and may
// be less aligned elsewhere.
const void* VString::LoadFromPtr(const void* data)
{
    const char* p = static_cast<const char*>(data);
    int32_t length;
    std::memcpy(&length, p, sizeof length);
    p += sizeof length;
    if (length < 0)
        length = 0;
    UniChar* units = GetCPointerForWrite(length);
    if (units) {
        if (length > 0)
            std::memcpy(units, p, size_t(length) * sizeof(UniChar));
        Validate(length);
    }
    return p + size_t(length) * sizeof(UniChar);
}

} // namespace nuvo
