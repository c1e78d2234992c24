#pragma once

// One Convert call of a registry converter, and tables of such calls; the helpers check that no
// converter writes past the room it is given.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "kernel/text/VFromUnicodeConverter.h"
#include "kernel/text/VTextConverters.h"
#include "kernel/text/VToUnicodeConverter.h"

namespace nuvo::test {

using Bytes = std::vector<uint8_t>;

struct Decoded { bool ok; size_t consumed; std::u16string units; };

struct Encoded { bool ok; int32_t consumed; Bytes bytes; };

inline Decoded Decode(CharSet set, const Bytes& bytes, int32_t room = 64)
{
    VToUnicodeConverter* converter = VTextConverters::Get()->RetainToUnicodeConverter(set);
    std::vector<UniChar> out(size_t(room) + 4, u'#');
    size_t consumed = 999;
    int32_t produced = -1;
    bool ok = converter->Convert(bytes.data(), bytes.size(), &consumed, out.data(), room, &produced);
    converter->Release();
    EXPECT_LE(produced, room);
    EXPECT_EQ(out[size_t(room)], u'#') << "wrote past the room";
    return {ok, consumed, std::u16string(out.data(), size_t(produced < 0 ? 0 : produced))};
}

inline Encoded Encode(CharSet set, const std::u16string& units, size_t room = 64)
{
    VFromUnicodeConverter* converter = VTextConverters::Get()->RetainFromUnicodeConverter(set);
    Bytes out(room + 4, 0xEE);
    int32_t consumed = -1;
    size_t produced = 999;
    bool ok = converter->Convert(units.data(), int32_t(units.size()), &consumed, out.data(), room, &produced);
    converter->Release();
    EXPECT_LE(produced, room);
    EXPECT_EQ(out[room], 0xEE) << "wrote past the room";
    out.resize(std::min(produced, room));
    return {ok, consumed, out};
}

struct DecodeRow { const char* label; Bytes input; int32_t room; bool ok; size_t consumed; std::u16string output; };

inline void CheckDecodeRows(CharSet set, const std::vector<DecodeRow>& rows)
{
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(row.label);
        Decoded d = Decode(set, row.input, row.room);
        EXPECT_EQ(d.ok, row.ok);
        EXPECT_EQ(d.consumed, row.consumed);
        EXPECT_EQ(d.units, row.output);
    }
}

struct EncodeRow { const char* label; std::u16string input; size_t room; bool ok; int32_t consumed; Bytes output; };

inline void CheckEncodeRows(CharSet set, const std::vector<EncodeRow>& rows)
{
    for (const EncodeRow& row : rows) {
        SCOPED_TRACE(row.label);
        Encoded e = Encode(set, row.input, row.room);
        EXPECT_EQ(e.ok, row.ok);
        EXPECT_EQ(e.consumed, row.consumed);
        EXPECT_EQ(e.bytes, row.output);
    }
}

} // namespace nuvo::test
