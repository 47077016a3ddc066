#include "output/csv_export.h"

#include "output/text_file.h"
#include "text/number_text.h"

#include <string>

bool ExportCsv(const Capture& capture, const QString& path)
{
    const int32_t n = capture.samplesPerChannel;
    if (n > 0 && !capture.sampleBlock) return false;
    std::string text;
    // Lines are rarely longer than 64 bytes: three numbers of mostly 15 digits, commas, CR LF.
    text.reserve(static_cast<size_t>(n > 0 ? n : 0) * 64);
    for (int32_t i = 0; i < n; ++i) {
        AppendNumberText(text, SampleTime(capture, i), 15, true);
        text += ',';
        AppendNumberText(text, SampleValue(capture, SlotCh1, i), 15, true);
        text += ',';
        // An absent channel 2 reads 0 everywhere, so the third field is always there.
        AppendNumberText(text, SampleValue(capture, SlotCh2, i), 15, true);
        text += "\r\n";
    }
    return WriteFileReplacing(path, text);
}
