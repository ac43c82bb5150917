#include "encoder/Tags.h"

#include <algorithm>
#include <string>

namespace evc {

namespace {

// libavformat's common names, and the Vorbis and ID3 names its demuxers pass on unchanged. An
// allow-list: a phone or a camera app invents new keys for places and devices all the time.
constexpr std::string_view kDescriptive[] = {
    "album",       "album_artist", "albumartist", "arranger",       "artist",       "bpm",
    "comment",     "compilation",  "composer",    "conductor",      "copyright",    "date",
    "description", "disc",         "discnumber",  "disctotal",      "genre",        "grouping",
    "isrc",        "label",        "lyricist",    "lyrics",         "organization", "originaldate",
    "performer",   "publisher",    "subtitle",    "title",          "totaldiscs",   "totaltracks",
    "track",       "tracknumber",  "tracktotal",  "unsyncedlyrics", "year"};

struct KeyParts {
    std::string base;       // lower case, blanks as '_'
    std::size_t keepLength; // of the key as written that the output takes
    bool qualified;         // a language or descriptor after '-', not a sort suffix
};

KeyParts Split(std::string_view key) {
    std::string k(key);
    std::transform(k.begin(), k.end(), k.begin(), [](unsigned char c) {
        return c == ' ' ? '_' : static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    constexpr std::string_view kSortPrefix = "sort_";
    if (k.rfind(kSortPrefix, 0) == 0) {
        return {k.substr(kSortPrefix.size()), key.size(), false};
    }
    const std::size_t dash = k.find('-');
    if (dash == std::string::npos) {
        return {k, key.size(), false};
    }
    const bool qualified = k.compare(dash, std::string::npos, "-sort") != 0;
    return {k.substr(0, dash), qualified ? dash : key.size(), qualified};
}

bool IsDescriptiveBase(const std::string& base) {
    return std::find(std::begin(kDescriptive), std::end(kDescriptive), base) !=
           std::end(kDescriptive);
}

} // namespace

bool IsDescriptiveTag(std::string_view key) {
    return IsDescriptiveBase(Split(key).base);
}

void CopyTags(const AVDictionary* from, AVDictionary** to) {
    // Plain keys first, so "title" wins over "title-eng" whatever the order in the source.
    for (const bool qualifiedPass : {false, true}) {
        const AVDictionaryEntry* e = nullptr;
        while ((e = av_dict_get(from, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
            const KeyParts parts = Split(e->key);
            if (parts.qualified != qualifiedPass || !IsDescriptiveBase(parts.base)) {
                continue;
            }
            const std::string key(e->key, parts.keepLength);
            av_dict_set(to, key.c_str(), e->value, AV_DICT_DONT_OVERWRITE);
        }
    }
}

} // namespace evc
