// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/sigrok_session.h"

#include "output/text_file.h"

#include <QDateTime>

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

namespace {

static_assert(std::endian::native == std::endian::little, "samples are written as stored");

void PutU16(std::string& out, uint32_t value)
{
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>((value >> 8) & 0xff);
}

void PutU32(std::string& out, uint32_t value)
{
    PutU16(out, value & 0xffff);
    PutU16(out, value >> 16);
}

struct ZipEntry {
    std::string name;
    uint32_t crc;
    uint32_t size;
    uint32_t offset; // of its local header
};

// A zip archive of stored (uncompressed) members, written front to back: every member's
// checksum and size are known before its header is written, so no seeking back is needed.
// Sessions stay far below the 4 GiB of the classic format (at most 3 x 65535 floats).
class ZipWriter {
  public:
    explicit ZipWriter(ExportFile& file) : file_(file)
    {
        // MS-DOS date and time of the members: when the session was written.
        const QDateTime now = QDateTime::currentDateTime();
        const QDate date = now.date();
        const QTime time = now.time();
        dosDate_ = static_cast<uint32_t>(((std::max(date.year(), 1980) - 1980) << 9) |
                                         (date.month() << 5) | date.day());
        dosTime_ =
            static_cast<uint32_t>((time.hour() << 11) | (time.minute() << 5) | (time.second() / 2));
    }

    void Add(const std::string& name, const void* data, size_t size)
    {
        const auto* bytes = static_cast<const Bytef*>(data);
        ZipEntry entry{name, static_cast<uint32_t>(crc32(0L, bytes, static_cast<uInt>(size))),
                       static_cast<uint32_t>(size), static_cast<uint32_t>(offset_)};
        std::string& out = file_.pending;
        PutU32(out, 0x04034b50);
        PutU16(out, 10); // version needed: stored members
        PutU16(out, 0);  // flags
        PutU16(out, 0);  // method: stored
        PutU16(out, dosTime_);
        PutU16(out, dosDate_);
        PutU32(out, entry.crc);
        PutU32(out, entry.size);
        PutU32(out, entry.size);
        PutU16(out, static_cast<uint32_t>(name.size()));
        PutU16(out, 0); // extra field
        out += name;
        out.append(static_cast<const char*>(data), size);
        offset_ += 30 + name.size() + size;
        entries_.push_back(std::move(entry));
        if (out.size() >= ExportChunkBytes) FlushExportFile(file_);
    }

    // The central directory and its end record.
    void Finish()
    {
        std::string& out = file_.pending;
        const size_t directoryStart = offset_;
        size_t directorySize = 0;
        for (const ZipEntry& entry : entries_) {
            PutU32(out, 0x02014b50);
            PutU16(out, (3 << 8) | 20); // made by: Unix, zip 2.0
            PutU16(out, 10);
            PutU16(out, 0);
            PutU16(out, 0);
            PutU16(out, dosTime_);
            PutU16(out, dosDate_);
            PutU32(out, entry.crc);
            PutU32(out, entry.size);
            PutU32(out, entry.size);
            PutU16(out, static_cast<uint32_t>(entry.name.size()));
            PutU16(out, 0);              // extra field
            PutU16(out, 0);              // comment
            PutU16(out, 0);              // disk
            PutU16(out, 0);              // internal attributes
            PutU32(out, 0100644u << 16); // external: a plain file, rw-r--r--
            PutU32(out, entry.offset);
            out += entry.name;
            directorySize += 46 + entry.name.size();
        }
        PutU32(out, 0x06054b50);
        PutU16(out, 0);
        PutU16(out, 0);
        PutU16(out, static_cast<uint32_t>(entries_.size()));
        PutU16(out, static_cast<uint32_t>(entries_.size()));
        PutU32(out, static_cast<uint32_t>(directorySize));
        PutU32(out, static_cast<uint32_t>(directoryStart));
        PutU16(out, 0); // comment
    }

  private:
    ExportFile& file_;
    std::vector<ZipEntry> entries_;
    size_t offset_ = 0;
    uint32_t dosDate_ = 0;
    uint32_t dosTime_ = 0;
};

double SampleInterval(const Capture& capture)
{
    return capture.samplesPerChannel > 0 ? SampleTime(capture, 1) : 0;
}

} // namespace

uint64_t SigrokSampleRate(const Capture& capture)
{
    const double interval = SampleInterval(capture);
    if (!(interval > 0) || !std::isfinite(interval)) return 0;
    const double rate = std::round(1 / interval);
    // Far beyond any instrument; keeps the conversion defined.
    if (!(rate >= 1) || rate > 1e18) return 0;
    return static_cast<uint64_t>(rate);
}

double SigrokTimeShift(const Capture& capture)
{
    const uint64_t rate = SigrokSampleRate(capture);
    if (rate == 0) return 0;
    const int32_t last = capture.samplesPerChannel - 1;
    return last / static_cast<double>(rate) - SampleTime(capture, last);
}

bool ExportSigrokSession(const Capture& capture, const QString& path)
{
    const int32_t n = capture.samplesPerChannel;
    if (n <= 0 || !capture.sampleBlock) return false;

    static const char* const names[SlotCount] = {"CH1", "CH2", "MATH"};
    std::string metadata = "[device 1]\n";
    if (const uint64_t rate = SigrokSampleRate(capture); rate != 0)
        metadata += "samplerate=" + std::to_string(rate) + '\n';
    std::vector<int32_t> slots;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (capture.present[slot] == 1 && capture.samples[slot] != nullptr) slots.push_back(slot);
    }
    metadata += "total analog=" + std::to_string(slots.size()) + '\n';
    for (size_t k = 0; k < slots.size(); ++k)
        metadata += "analog" + std::to_string(k + 1) + '=' + names[slots[k]] + '\n';

    ExportFile file{};
    if (!OpenExportFile(file, path)) return false;
    ZipWriter zip(file);
    zip.Add("version", "2", 1);
    zip.Add("metadata", metadata.data(), metadata.size());
    std::vector<float> values(static_cast<size_t>(n));
    for (size_t k = 0; k < slots.size(); ++k) {
        for (int32_t i = 0; i < n; ++i)
            values[static_cast<size_t>(i)] = static_cast<float>(SampleValue(capture, slots[k], i));
        zip.Add("analog-1-" + std::to_string(k + 1) + "-1", values.data(),
                values.size() * sizeof(float));
    }
    zip.Finish();
    return CommitExportFile(file);
}
