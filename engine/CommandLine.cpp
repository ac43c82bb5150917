// The encoder command line: one fragment per option selection, the trim range
// of the file's row, the output folder and a unique output file name.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

#include "engine/CommandLineSplit.h"
#include "engine/CustomProc.h"
#include "engine/OptionTables.h"
#include "support/Text.h"
#include "support/TimeText.h"

namespace {} // namespace

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
            // what could be applied. The user is told once per job, not once
            // per file.
            Lib.AppFunc().WriteLog(std::string("User profile error. ") + e.what());
            if (!ProfileErrorShown) {
                ProfileErrorShown = true;
                Lib.ShowMsg(e.what(), mkError);
            }
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
        if (auto s = WholeTimeTextSeconds(Lib, grid.Field(r, sfStartTime)))
            start = *s;
        if (auto e = WholeTimeTextSeconds(Lib, grid.Field(r, sfEndTime)))
            end = *e;
    }
    return matched ? std::to_string(end - start) : std::string();
}

std::string TCustomProc::GetEncodeSeconds(const std::string& sourcePath) {
    const std::string wanted = UpperAscii(sourcePath);
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t duration = 0;
    bool matched = false;
    const TSourceFileGrid& grid = MainForm.dxTreeSourceFileInfo;
    for (int r = 0; r < grid.RowCount(); ++r) {
        if (UpperAscii(grid.Field(r, sfFileName)) != wanted)
            continue;
        matched = true;
        if (auto s = WholeTimeTextSeconds(Lib, grid.Field(r, sfStartTime)))
            start = *s;
        if (auto e = WholeTimeTextSeconds(Lib, grid.Field(r, sfEndTime)))
            end = *e;
        duration = WholeTimeTextSeconds(Lib, grid.Field(r, sfDuration)).value_or(0);
    }
    if (!matched)
        return std::string();
    // The row's times are whole seconds cut down from the real length, so an
    // end at the file's own end asks for a second more: the encoder stops at
    // the real end instead of dropping its last fraction of a second.
    if (duration > 0 && end >= duration)
        end = std::max(end, duration + 1);
    return std::to_string(end - start);
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
                      ? " -ss " + CurStartTime + " -t " + GetEncodeSeconds(sourcePath)
                      : std::string();
    p.EncoderPath = Lib.EncoderFolderInUse() + EncoderExeName;
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
