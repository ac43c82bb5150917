// The encoder command line: one fragment per option selection, the trim range
// of the file's row, the output folder and a unique output file name.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/CustomProc.h"
#include "engine/OptionTables.h"
#include "support/CommandLineSplit.h"
#include "support/SamePath.h"
#include "support/TimeText.h"

namespace {

// What the command line needs of the rows with the source's path, read in
// one pass: each field keeps the last value that reads. Two names that differ
// only in case are two files on Linux and must not share a trim.
struct TRowTimes {
    int Matches = 0;
    std::string StartText;
    std::int64_t Start = 0;
    std::int64_t End = 0;
    std::optional<std::int64_t> Duration;
};

TRowTimes ReadRowTimes(const TCommonLib& lib, const TSourceFileGrid& grid,
                       const std::string& sourcePath) {
    TRowTimes times;
    for (int r = 0; r < grid.RowCount(); ++r) {
        if (!SamePathText(grid.Field(r, sfFileName), sourcePath))
            continue;
        ++times.Matches;
        times.StartText = grid.Field(r, sfStartTime);
        if (auto s = WholeTimeTextSeconds(lib, grid.Field(r, sfStartTime)))
            times.Start = *s;
        if (auto e = WholeTimeTextSeconds(lib, grid.Field(r, sfEndTime)))
            times.End = *e;
        times.Duration = WholeTimeTextSeconds(lib, grid.Field(r, sfDuration));
    }
    return times;
}

std::string CutSecondsText(const TRowTimes& times) {
    return times.Matches > 0 ? std::to_string(times.End - times.Start) : std::string();
}

std::string EncodeSecondsText(const TRowTimes& times) {
    if (times.Matches == 0)
        return std::string();
    // The row's times are whole seconds cut down from the real length, so an
    // end at the file's own end asks for a second more: the encoder stops at
    // the real end instead of dropping its last fraction of a second. A file
    // under a second (duration 00:00:00) is converted whole that way too.
    std::int64_t end = times.End;
    if (times.Duration && end >= *times.Duration)
        end = std::max(end, *times.Duration + 1);
    return std::to_string(end - times.Start);
}

// Adds the fragment's words (fixed option texts, never with blanks inside).
void AppendWords(std::vector<std::string>& arguments, const std::string& fragment) {
    size_t at = 0;
    while ((at = fragment.find_first_not_of(' ', at)) != std::string::npos) {
        const size_t end = fragment.find(' ', at);
        arguments.push_back(fragment.substr(at, end - at));
        at = end == std::string::npos ? fragment.size() : end;
    }
}

} // namespace

TEncoderCommand BuildEncoderCommand(const TConvertParameterStruct& p,
                                    const std::string& outputFile) {
    std::string options = p.CodecParam;
    if (p.OutputExt == ".amr")
        options += p.VideoSizeParam + p.VideoBitrateParam + p.AudioBitrateParam + p.VolumeParam +
                   " -ac 1 -ar 8000" + p.TrimParam;
    else
        options +=
            p.AudioBitrateParam + p.VolumeParam + p.ChannelsParam + p.SampleRateParam + p.TrimParam;

    TEncoderCommand command;
    command.Arguments = {p.EncoderPath, "-y", "-i", p.SourceFile};
    AppendWords(command.Arguments, options);
    command.Arguments.push_back(outputFile);
    command.Text = QuoteArgumentIfNeeded(p.EncoderPath) + " -y -i " + QuoteArgument(p.SourceFile) +
                   options + " " + QuoteArgument(outputFile);
    return command;
}

void TCustomProc::ApplyProfileForRows(int matchingRows) {
    for (int i = 0; i < matchingRows; ++i) {
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
}

std::string TCustomProc::GetStartTime(const std::string& sourcePath) {
    const TRowTimes times = ReadRowTimes(Lib, MainForm.dxTreeSourceFileInfo, sourcePath);
    ApplyProfileForRows(times.Matches);
    return times.StartText;
}

std::string TCustomProc::GetCutSeconds(const std::string& sourcePath) {
    return CutSecondsText(ReadRowTimes(Lib, MainForm.dxTreeSourceFileInfo, sourcePath));
}

std::string TCustomProc::GetEncodeSeconds(const std::string& sourcePath) {
    return EncodeSecondsText(ReadRowTimes(Lib, MainForm.dxTreeSourceFileInfo, sourcePath));
}

std::string TCustomProc::GetOutputDir() {
    const std::string folder = WithTrailingDelim(MainForm.edtOutputFolder.Text);
    if (Lib.Platform().CreateFolders(folder))
        Lib.AppFunc().WriteLog("Output directory " + folder);
    else
        Lib.AppFunc().WriteLog("Output directory error. ->" + folder);
    return folder;
}

std::string TCustomProc::CreateConvertParameter(const std::string& sourcePath) {
    const TRowTimes times = ReadRowTimes(Lib, MainForm.dxTreeSourceFileInfo, sourcePath);
    // The selected user profile is applied once per matching row, before the
    // lists are read.
    ApplyProfileForRows(times.Matches);
    CurStartTime = times.StartText;
    CurCutSeconds = CutSecondsText(times);

    TConvertParameterStruct& p = Lib.ConvertParam;
    p.TrimParam = (!CurStartTime.empty() && !CurCutSeconds.empty())
                      ? " -ss " + CurStartTime + " -t " + EncodeSecondsText(times)
                      : std::string();
    p.EncoderPath = Lib.EncoderFolderInUse() + EncoderExeName;
    p.SourceFile = sourcePath;

    TfrmOption& o = Options();
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
    return BuildEncoderCommand(p, output).Text;
}
