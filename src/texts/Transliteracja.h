// Polish wording written in Cyrillic letters, usable at compile time: the source of the catalogue's Russian column.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

namespace transliteration_detail {

struct TGroup {
    std::u32string_view Latin;     // lower-case Polish letters
    std::u32string_view Cyrillic;  // lower-case Cyrillic letters
};

// The first group that matches wins, so longer groups come before their prefixes.
// After ж, ш, ч, щ Russian spelling writes и where Polish writes y.
inline constexpr TGroup kGroups[] = {
    {U"szczy", U"щи"},
    {U"szcz", U"щ"},
    {U"szy", U"ши"}, {U"czy", U"чи"}, {U"rzy", U"жи"},
    {U"sz", U"ш"}, {U"cz", U"ч"}, {U"ch", U"х"}, {U"rz", U"ж"}, {U"ży", U"жи"},
    {U"ja", U"я"}, {U"ją", U"ён"}, {U"je", U"е"}, {U"ję", U"ен"}, {U"ju", U"ю"}, {U"jó", U"ю"},
    {U"ji", U"ии"},
    {U"ia", U"я"}, {U"ią", U"ён"}, {U"ie", U"е"}, {U"ię", U"ен"}, {U"io", U"ё"}, {U"iu", U"ю"},
    {U"ió", U"ю"},
    {U"a", U"а"}, {U"ą", U"он"}, {U"b", U"б"}, {U"c", U"ц"}, {U"ć", U"ць"}, {U"d", U"д"},
    {U"e", U"е"}, {U"ę", U"ен"}, {U"f", U"ф"}, {U"g", U"г"}, {U"h", U"х"}, {U"i", U"и"},
    {U"j", U"й"}, {U"k", U"к"}, {U"l", U"л"}, {U"ł", U"л"}, {U"m", U"м"}, {U"n", U"н"},
    {U"ń", U"нь"}, {U"o", U"о"}, {U"ó", U"у"}, {U"p", U"п"}, {U"q", U"к"}, {U"r", U"р"},
    {U"s", U"с"}, {U"ś", U"сь"}, {U"t", U"т"}, {U"u", U"у"}, {U"v", U"в"}, {U"w", U"в"},
    {U"x", U"кс"}, {U"y", U"ы"}, {U"z", U"з"}, {U"ź", U"зь"}, {U"ż", U"ж"},
};

inline constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence at pos and advances pos; a malformed byte gives kInvalid and is skipped alone.
constexpr char32_t Decode(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) { ++pos; return lead; }
    const std::size_t count = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
    if (count == 0 || pos + count >= s.size()) { ++pos; return kInvalid; }
    char32_t cp = lead & (0x3F >> count);
    for (std::size_t i = 1; i <= count; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) { ++pos; return kInvalid; }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[count] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++pos; return kInvalid; }
    pos += count + 1;
    return cp;
}

// Lower case of the letters that Polish text uses; every other code point is its own lower case.
constexpr char32_t ToLower(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    switch (c) {
        case U'Ą': case U'Ć': case U'Ę': case U'Ł': case U'Ń': case U'Ś': case U'Ź': case U'Ż':
            return c + 1;
        case U'Ó': return U'ó';
        default: return c;
    }
}

constexpr bool IsUpper(char32_t c) { return ToLower(c) != c; }

constexpr char32_t CyrillicUpper(char32_t c) {
    if (c >= U'а' && c <= U'я') return c - 0x20;
    return c == U'ё' ? U'Ё' : c;
}

template <class TOut>
constexpr void PutUtf8(char32_t cp, TOut& out) {
    if (cp < 0x80) {
        out(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out(static_cast<char>(0xC0 | (cp >> 6)));
        out(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out(static_cast<char>(0xE0 | (cp >> 12)));
        out(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out(static_cast<char>(0xF0 | (cp >> 18)));
        out(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Feeds the transliteration of polish to out, one byte at a time.
template <class TOut>
constexpr void Each(std::string_view polish, TOut& out) {
    std::size_t pos = 0;
    while (pos < polish.size()) {
        // A format placeholder ("%s", "%d", "%%") is kept as it is.
        if (polish[pos] == '%') {
            out(polish[pos++]);
            if (pos < polish.size()) out(polish[pos++]);
            continue;
        }
        const std::size_t start = pos;
        const char32_t first = Decode(polish, pos);
        const char32_t lowerFirst = ToLower(first);
        // An index rather than a pointer: GCC's sanitizers reject pointer tests in constant expressions.
        std::size_t found = std::size(kGroups);
        std::size_t end = pos;
        for (std::size_t k = 0; k < std::size(kGroups); ++k) {
            const TGroup& g = kGroups[k];
            if (g.Latin[0] != lowerFirst) continue;
            std::size_t p = pos;
            std::size_t i = 1;
            for (; i < g.Latin.size() && p < polish.size(); ++i)
                if (ToLower(Decode(polish, p)) != g.Latin[i]) break;
            if (i == g.Latin.size()) { found = k; end = p; break; }
        }
        if (found == std::size(kGroups)) {
            for (std::size_t i = start; i < pos; ++i) out(polish[i]);
            continue;
        }
        // A capital stays a capital; inside a word in capitals ("ŚW") the whole group is in capitals.
        const bool capital = IsUpper(first);
        bool allCapitals = false;
        if (capital && pos < polish.size()) {
            std::size_t p = pos;
            allCapitals = IsUpper(Decode(polish, p));
        }
        const std::u32string_view cyrillic = kGroups[found].Cyrillic;
        for (std::size_t i = 0; i < cyrillic.size(); ++i) {
            const char32_t c = cyrillic[i];
            PutUtf8((i == 0 ? capital : allCapitals) ? CyrillicUpper(c) : c, out);
        }
        pos = end;
    }
}

}  // namespace transliteration_detail

// Bytes that Transliterate(polish) produces.
constexpr std::size_t TransliteratedLength(std::string_view polish) {
    std::size_t n = 0;
    auto count = [&n](char) { ++n; };
    transliteration_detail::Each(polish, count);
    return n;
}

// Writes the transliteration to dest, which holds TransliteratedLength(polish) bytes; returns that count.
constexpr std::size_t TransliterateInto(std::string_view polish, char* dest) {
    std::size_t n = 0;
    auto put = [dest, &n](char c) { dest[n++] = c; };
    transliteration_detail::Each(polish, put);
    return n;
}

// The Polish text in Cyrillic letters; placeholders, digits, punctuation, spaces and line breaks are kept.
constexpr std::string Transliterate(std::string_view polish) {
    std::string result;
    auto put = [&result](char c) { result.push_back(c); };
    transliteration_detail::Each(polish, put);
    return result;
}
