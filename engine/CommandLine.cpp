// The encoder command line: one fragment per option selection, the trim range
// of the file's row, the output folder and a unique output file name.
#include <charconv>
#include <cstdint>
#include <optional>

#include "engine/CustomProc.h"
#include "engine/OptionTables.h"
#include "shell/MainForm.h"
#include "support/CommandLineSplit.h"

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

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string TrimBlanks(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.substr(begin, end - begin);
}

std::optional<std::int64_t> ParseTimePart(const std::string& part) {
    const std::string text = TrimBlanks(part);
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc() || end != last)
        return std::nullopt;
    // Far beyond any media length; keeps the arithmetic below from overflowing.
    if (value > 1'000'000'000 || value < -1'000'000'000)
        return std::nullopt;
    return value;
}

// h:m:s in seconds; nothing when the text is not three integers.
std::optional<std::int64_t> TimeTextSeconds(const TCommonLib& lib, const std::string& text) {
    const std::vector<std::string> parts = lib.SplitText(text, ':');
    if (parts.size() != 3)
        return std::nullopt;
    auto h = ParseTimePart(parts[0]);
    auto m = ParseTimePart(parts[1]);
    auto s = ParseTimePart(parts[2]);
    if (!h || !m || !s)
        return std::nullopt;
    return *h * 3600 + *m * 60 + *s;
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

std::string TCustomProc::GetStartTime(const std::string& sourcePath) {
    const std::string wanted = UpperAscii(sourcePath);
    std::string start;
    const TSourceFileGrid& grid = MainForm.dxTreeSourceFileInfo;
    for (int r = 0; r < grid.RowCount(); ++r) {
        if (UpperAscii(grid.Field(r, sfFileName)) != wanted)
            continue;
        start = grid.Field(r, sfStartTime);
        try {
            ApplyUserProfile();
        } catch (const EConvertError& e) {
            // A damaged profile must not stop the conversion: the lists keep
            // what could be applied.
            Lib.AppFunc().WriteLog(std::string("User profile error. ") + e.what());
        }
    }
    return start;
}

std::string TCustomProc::GetCutSeconds(const std::string& sourcePath) {
    const std::string wanted = UpperAscii(sourcePath);
    std::int64_t start = 0;
    std::int64_t end = 0;
    bool matched = false;
    const TSourceFileGrid& grid = MainForm.dxTreeSourceFileInfo;
    for (int r = 0; r < grid.RowCount(); ++r) {
        if (UpperAscii(grid.Field(r, sfFileName)) != wanted)
            continue;
        matched = true;
        if (auto s = TimeTextSeconds(Lib, grid.Field(r, sfStartTime)))
            start = *s;
        if (auto e = TimeTextSeconds(Lib, grid.Field(r, sfEndTime)))
            end = *e;
    }
    return matched ? std::to_string(end - start) : std::string();
}

std::string TCustomProc::GetOutputDir() {
    std::string folder = MainForm.edtOutputFolder.Text;
    if (folder.empty() || folder.back() != PathDelim)
        folder += PathDelim;
    if (Lib.Platform().CreateFolders(folder))
        Lib.AppFunc().WriteLog("Output directory " + folder);
    else
        Lib.AppFunc().WriteLog("Output directory error. ->" + folder);
    return folder;
}

std::string TCustomProc::CreateConvertParameter(const std::string& sourcePath) {
    TfrmOption& o = Options();
    TConvertParameterStruct& p = Lib.ConvertParam;

    CurStartTime = GetStartTime(sourcePath);
    CurCutSeconds = GetCutSeconds(sourcePath);
    p.TrimParam = (!CurStartTime.empty() && !CurCutSeconds.empty())
                      ? " -ss " + CurStartTime + " -t " + CurCutSeconds
                      : std::string();
    p.EncoderPath = Lib.AppPath + EncoderExeName;
    p.SourceFile = sourcePath;

    const int type = MainForm.cbbOutputFiletype.ItemIndex();
    p.CodecParam = Lib.GetCodecParam(type);
    p.VideoBitrateParam =
        Lib.GetVideoBitrateParam(o.cbbVideoBitrate, o.cbbVideoBitrate.ItemIndex());
    p.VideoSizeParam = Lib.GetVideoSizeParam(o.cbbVideoSize, o.cbbVideoSize.ItemIndex());
    p.AudioBitrateParam =
        Lib.GetAudioBitrateParam(o.cbbAudioBitrate, o.cbbAudioBitrate.ItemIndex());
    p.VolumeParam = Lib.GetVolumeParam(o.cbbAudioVolumeGain, o.cbbAudioVolumeGain.ItemIndex());
    p.ChannelsParam = Lib.GetChannelsParam(o.cbbAudioChannels, o.cbbAudioChannels.ItemIndex());
    p.SampleRateParam = Lib.GetSampleRateParam(o.cbbAudioSample, o.cbbAudioSample.ItemIndex());

    p.OutputDir = GetOutputDir();
    p.OutputName = FileFunc.GetBaseName(sourcePath);
    p.OutputExt = Lib.GetExtParam(type);
    const std::string output =
        FileFunc.MakeUniqueFileName(p.OutputDir + p.OutputName + p.OutputExt);

    std::string line = QuoteArgumentIfNeeded(p.EncoderPath) + " -y -i " +
                       QuoteArgument(p.SourceFile) + p.CodecParam;
    if (p.OutputExt == ".amr")
        line += p.VideoSizeParam + p.VideoBitrateParam + p.AudioBitrateParam + p.VolumeParam +
                " -ac 1 -ar 8000" + p.TrimParam;
    else
        line +=
            p.AudioBitrateParam + p.VolumeParam + p.ChannelsParam + p.SampleRateParam + p.TrimParam;
    line += " " + QuoteArgument(output);
    return line;
}
