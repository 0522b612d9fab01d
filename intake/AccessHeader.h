#pragma once

#include <cstddef>
#include <cstring>

// How an Access file begins, whatever its name: the same 20 bytes (with a terminating zero) for Jet 3 and Jet 4
// ("Standard Jet DB") and for ACE ("Standard ACE DB"). Without Qt, for the reader program as well.
namespace AccessHeader {

inline constexpr char kJet[] = "\x00\x01\x00\x00Standard Jet DB";
inline constexpr char kAce[] = "\x00\x01\x00\x00Standard ACE DB";
inline constexpr std::size_t kLength = sizeof(kJet); // with the terminating zero, which the file holds as well

// Whether the first kLength bytes at `head` are an Access file's.
inline bool matches(const char* head)
{
    return std::memcmp(head, kJet, kLength) == 0 || std::memcmp(head, kAce, kLength) == 0;
}

} // namespace AccessHeader
