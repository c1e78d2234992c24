#pragma once
// The table of character-set names: IANA names and aliases with their MIB numbers, searched
// from the top, so that the first row of a set gives its canonical name. Constant data.

#include <cstddef>
#include <cstdint>
#include <span>

#include "kernel/text/CharSet.h"

namespace nuvo::Private {

struct CharSetNameRow {
    CharSet charSet;
    int32_t mibEnum;
    const char* name;        // printable ASCII
    const wchar_t* wideName; // the same letters
    bool web;                // the preferred name of a set offered in web contexts
};

std::span<const CharSetNameRow> GetCharSetNameTable();

} // namespace nuvo::Private
