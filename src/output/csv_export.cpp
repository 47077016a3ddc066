#include "output/csv_export.h"

#include "output/text_file.h"
#include "text/number_text.h"

bool ExportCsv(const Capture& capture, const QString& path)
{
    const int32_t n = capture.samplesPerChannel;
    if (n > 0 && !capture.sampleBlock) return false;
    ExportFile file{};
    if (!OpenExportFile(file, path)) return false;
    std::string& text = file.pending;
    for (int32_t i = 0; i < n; ++i) {
        AppendNumberText(text, SampleTime(capture, i), 15, true);
        text += ',';
        AppendNumberText(text, SampleValue(capture, SlotCh1, i), 15, true);
        text += ',';
        // An absent channel 2 reads 0 everywhere, so the third field is always there.
        AppendNumberText(text, SampleValue(capture, SlotCh2, i), 15, true);
        text += "\r\n";
        if (text.size() >= ExportChunkBytes) FlushExportFile(file);
    }
    return CommitExportFile(file);
}
