// Bounds-checked reading of the little-endian layouts that resources are
// stored in (.res images, dialog templates, icons). A read that does not fit
// in the bytes fails and leaves the position where it was, so a parser can
// chain its reads with && and never look past the end.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "platform/api/types.h"

namespace platform {

class ByteReader {
public:
    ByteReader(const void* data, size_t size) : m_data(static_cast<const BYTE*>(data)), m_size(size) {}

    const BYTE* Data() const { return m_data; }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_size - m_pos; }

    bool Skip(size_t count)
    {
        if (count > Remaining())
            return false;
        m_pos += count;
        return true;
    }

    // Moves to the next multiple of four bytes from the start.
    bool AlignToDword() { return Skip((4 - m_pos % 4) % 4); }

    template <typename T>
    bool Read(T* value)
    {
        static_assert(std::is_integral<T>::value, "integers only");
        typedef typename std::make_unsigned<T>::type Bits;
        if (sizeof(T) > Remaining())
            return false;
        Bits bits = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            bits = (Bits)(bits | (Bits)((Bits)m_data[m_pos + i] << (8 * i)));
        *value = (T)bits;
        m_pos += sizeof(T);
        return true;
    }

    bool ReadBytes(size_t count, std::vector<BYTE>* bytes)
    {
        if (count > Remaining())
            return false;
        bytes->assign(m_data + m_pos, m_data + m_pos + count);
        m_pos += count;
        return true;
    }

    // A zero-terminated UTF-16 string; fails when the terminator is missing.
    bool ReadString(std::u16string* text)
    {
        size_t start = m_pos;
        text->clear();
        for (;;) {
            char16_t unit;
            if (!Read(&unit)) {
                m_pos = start;
                return false;
            }
            if (unit == 0)
                return true;
            text->push_back(unit);
        }
    }

    // The name form of resources and templates: 0xFFFF and a 16-bit
    // ordinal, or else a zero-terminated string.
    bool ReadStringOrOrdinal(std::u16string* text, bool* isOrdinal, WORD* ordinal)
    {
        size_t start = m_pos;
        WORD first;
        if (!Read(&first))
            return false;
        *isOrdinal = first == 0xFFFF;
        *ordinal = 0;
        text->clear();
        if (*isOrdinal) {
            if (Read(ordinal))
                return true;
        } else {
            m_pos = start;
            if (ReadString(text))
                return true;
        }
        m_pos = start;
        return false;
    }

private:
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

}  // namespace platform
