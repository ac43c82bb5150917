#include "encoder/Tags.h"

extern "C" {
#include <libavutil/avstring.h>
}

namespace evc {

namespace {

bool IsTechnicalKey(const char* key) {
    static const char* const kSkip[] = {
        "encoder",   "major_brand",   "minor_version", "compatible_brands", "handler_name",
        "vendor_id", "creation_time", "duration",      "encoded_by",        "timecode"};
    for (const char* s : kSkip) {
        if (av_strcasecmp(key, s) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

void CopyTags(const AVDictionary* from, AVDictionary** to) {
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(from, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        if (!IsTechnicalKey(e->key)) {
            av_dict_set(to, e->key, e->value, AV_DICT_DONT_OVERWRITE);
        }
    }
}

} // namespace evc
