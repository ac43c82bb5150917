// The command-line fragments of TCommonLib: one option selection each.
#include <string>

#include "support/CommonLib.h"
#include "support/OutputTypes.h"

namespace {

std::string Fragment(const SelectionList& list, int index, const char* prefix,
                     const char* fallback) {
    const std::string item = list.ItemText(index);
    return item.empty() ? std::string(fallback) : std::string(prefix) + item;
}

// An unknown output type falls back to the default type.
size_t TypeIndex(int outputType) {
    return static_cast<size_t>(ValidOutputFileType(outputType) ? outputType : oftAMR);
}

} // namespace

std::string TCommonLib::GetVideoBitrateParam(const SelectionList& list, int index) const {
    return Fragment(list, index, " -b ", " -b 512");
}

std::string TCommonLib::GetVideoSizeParam(const SelectionList& list, int index) const {
    return Fragment(list, index, " -s ", " -s 320x240");
}

std::string TCommonLib::GetAudioBitrateParam(const SelectionList& list, int index) const {
    return Fragment(list, index, " -ab ", " -ab 64");
}

std::string TCommonLib::GetVolumeParam(const SelectionList& list, int index) const {
    return Fragment(list, index, " -vol ", " ");
}

std::string TCommonLib::GetChannelsParam(const SelectionList& list, int index) const {
    const std::string item = list.ItemText(index);
    return item.empty() ? std::string(" -ac 2") : std::string(" -ac ") + item.front();
}

std::string TCommonLib::GetSampleRateParam(const SelectionList& list, int index) const {
    return Fragment(list, index, " -ar ", " -ar 44100");
}

std::string TCommonLib::GetCodecParam(int outputType) const {
    return " " + std::string(CodecList[TypeIndex(outputType)]);
}

std::string TCommonLib::GetExtParam(int outputType) const {
    return std::string(ExtensionList[TypeIndex(outputType)]);
}
