// Zone table and clock arithmetic of zoneclock.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zoneclock {

// The zone table: 32 pairs of a zone name and its offset from universal time
// in hours, then two empty entries that end it.
inline constexpr std::array<std::string_view, 66> x = {
    "WET", "0",    "UTC", "0",    "GMT",  "0",    "BST",   "+1",   "IST",  "+1",   "WEST",
    "+1",  "CET",  "+1",  "CEST", "+2",   "EET",  "+2",    "EEST", "+3",   "MSK",  "+3",
    "MSD", "+4",   "AST", "-4",   "ADT",  "-3",   "NST",   "-3.5", "NDT",  "-2.5", "EST",
    "-5",  "EDT",  "-4",  "CST",  "-6",   "CDT",  "-5",    "MST",  "-7",   "MDT",  "-6",
    "PST", "-8",   "PDT", "-7",   "HST",  "-10",  "AKST",  "-9",   "AKDT", "-8",   "AEST",
    "+10", "AEDT", "+11", "ACST", "+9.5", "ACDT", "+10.5", "AWST", "+8",   "",     "",
};

// Index of the first empty entry of x, where a scan for an unknown token stops.
inline constexpr int table_end = 64;

// zone_index: accepts any token, including ones with NUL bytes. Returns the
// index of the first entry of x, zone name or offset text, equal to the token,
// or table_end when no entry is. Looks the token up in a hash table built
// from x when compiling, not by scanning x.
int zone_index(std::string_view token);

// entry_minutes: accepts an index 0..65 of x. Returns that entry read as a
// decimal number of hours and turned into whole minutes, or nothing when the
// entry is not a number (a zone name or an empty entry).
std::optional<int64_t> entry_minutes(int i);

// read_int: accepts any text. Reads an optional sign and decimal digits at
// its front, as "%d" does once past white space; a number beyond the 32-bit
// range reads as the nearest end of it. Returns true, with value set and the
// number removed from the front of s, or false, leaving both alone, when no
// digit is there.
bool read_int(std::string_view& s, int32_t& value);

// split_time: accepts a time token of the form "<hour>:<minute>". Reads the
// hour into h and the minute into m, each an optional sign and decimal digits
// stopping at the first other byte; a number beyond the 32-bit range reads as
// the nearest end of it. A field that cannot be read, with every field after
// it, keeps its old value (so "7" sets h only and "x" sets neither).
void split_time(std::string_view token, int32_t& h, int32_t& m);

// wrap_day: accepts any minute count. Returns it modulo 1440, in 0..1439.
int64_t wrap_day(int64_t time);

// format_clock: accepts a time 0..1439 in minutes after midnight. Writes its
// 12-hour form and a line feed into out ("midnight", "noon" or "h:mm a.m." /
// "h:mm p.m.", at most 15 bytes) and, for the last form only, leaves the hour
// printed in h and the minute in m. Returns the number of bytes written.
int format_clock(int64_t time, char* out, int32_t& h, int32_t& m);

}  // namespace zoneclock
