// JPEG pages through libjpeg-turbo: gray, colour (any subsampling, baseline or
// progressive) and CMYK, turned upright by their EXIF orientation.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "formats/ExifTags.h"
#include "formats/JpegError.h"
#include "formats/PageDecoding.h"
#include "formats/SinglePageReader.h"

namespace formats {
namespace {

// A progressive file may hold any number of scans, each a pass over the whole
// picture; real files have about ten.
constexpr int kMaxScans = 500;

struct Decompressor {
    jpeg_decompress_struct cinfo{};
    JpegError error;
    jpeg_progress_mgr progress{};
    bool created = false;
    ~Decompressor() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

void LimitScans(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        JpegFail(*cinfo, "more than 500 scans");
}

// The two steps that libjpeg may leave by longjmp: nothing here has a destructor.
bool ReadHeader(Decompressor* d, const std::uint8_t* data, std::size_t size, long memoryLimit) {
    if (setjmp(d->error.jump)) return false;
    jpeg_create_decompress(&d->cinfo);
    d->created = true;
    d->cinfo.mem->max_memory_to_use = memoryLimit;
    d->progress.progress_monitor = LimitScans;
    d->cinfo.progress = &d->progress;
    jpeg_mem_src(&d->cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&d->cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&d->cinfo, TRUE);
    return true;
}

// Decodes into `samples` (rowBytes a row); CMYK rows go through `cmykRow` and
// become RGB, inverted first for Adobe's files.
bool Decode(Decompressor* d, PageImage* page, std::size_t rowBytes, std::uint8_t* cmykRow) {
    if (setjmp(d->error.jump)) return false;
    jpeg_decompress_struct& cinfo = d->cinfo;
    jpeg_start_decompress(&cinfo);
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        AddRows(*page, std::int64_t{cinfo.output_scanline} + 1);
        std::uint8_t* row = page->samples.data() + cinfo.output_scanline * rowBytes;
        JSAMPROW target = cmykRow != nullptr ? cmykRow : row;
        jpeg_read_scanlines(&cinfo, &target, 1);
        if (cmykRow == nullptr) continue;
        for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
            const std::uint8_t* cmyk = cmykRow + 4 * x;
            const unsigned k = inverted ? 255u - cmyk[3] : cmyk[3];
            for (int i = 0; i < 3; ++i) row[3 * x + i] = CmykToRgb(inverted ? 255u - cmyk[i] : cmyk[i], k);
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

[[noreturn]] void Refuse(const Decompressor& d) {
    if (d.error.truncated) throw PageRefused("truncated JPEG file");
    throw PageRefused(std::string("broken JPEG file: ") + d.error.message);
}

class JpegReader : public SinglePageReader {
public:
    JpegReader(FileSource source, std::int64_t maxPixels)
        : SinglePageReader("JPEG"), source_(std::move(source)), maxPixels_(maxPixels) {}

private:
    void ReadPage(PageImage& page) override {
        std::vector<std::uint8_t> loaded;
        const std::vector<std::uint8_t>& bytes = SourceBytes(source_, loaded);
        Decompressor d;
        InstallJpegError(*reinterpret_cast<j_common_ptr>(&d.cinfo), d.error);
        // A lowered pixel limit bounds libjpeg's own storage too (the coefficients
        // of a progressive file: 2 bytes a sample), so that fuzzed headers stay small.
        const long memoryLimit = maxPixels_ < limits::kMaxPixels ? static_cast<long>(maxPixels_ * 32 + (1 << 20)) : 0;
        if (!ReadHeader(&d, bytes.data(), bytes.size(), memoryLimit)) Refuse(d);

        jpeg_decompress_struct& cinfo = d.cinfo;
        int channels = 3;
        if (cinfo.jpeg_color_space == JCS_GRAYSCALE) {
            cinfo.out_color_space = JCS_GRAYSCALE;
            channels = 1;
        } else if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
            cinfo.out_color_space = JCS_CMYK;
        } else {
            cinfo.out_color_space = JCS_RGB;
        }
        // Huffman coding spends at least one bit on every block, so on every MCU:
        // a file shorter than that is cut off, however small its header says it is.
        const std::int64_t width = cinfo.image_width, height = cinfo.image_height;
        CheckPageSize(width, height, maxPixels_);
        const std::int64_t mcuWidth = 8 * std::max(cinfo.max_h_samp_factor, 1);
        const std::int64_t mcuHeight = 8 * std::max(cinfo.max_v_samp_factor, 1);
        const std::int64_t mcus = ((width + mcuWidth - 1) / mcuWidth) * ((height + mcuHeight - 1) / mcuHeight);
        if (!cinfo.arith_code && static_cast<std::int64_t>(bytes.size()) * 8 < mcus)
            throw PageRefused("truncated JPEG file: too short for " + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels");
        StartPage(page, width, height, channels, maxPixels_);
        ExifTags exif;
        for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker != nullptr; marker = marker->next) {
            if (marker->marker != JPEG_APP0 + 1) continue;
            exif = ReadExifTags(marker->data, marker->data_length);
            if (exif.orientation != 1 || exif.dpiX > 0) break;
        }
        page.dpiX = exif.dpiX;
        page.dpiY = exif.dpiY;
        // JFIF density in dots an inch (1) or a centimetre (2); unit 0 is an aspect ratio only.
        if (cinfo.saw_JFIF_marker && (cinfo.density_unit == 1 || cinfo.density_unit == 2)) {
            const double perInch = cinfo.density_unit == 1 ? 1.0 : 2.54;
            page.dpiX = cinfo.X_density * perInch;
            page.dpiY = cinfo.Y_density * perInch;
        }

        std::vector<std::uint8_t> cmykRow(cinfo.out_color_space == JCS_CMYK ? 4 * std::size_t{cinfo.image_width} : 0);
        if (!Decode(&d, &page, static_cast<std::size_t>(page.width) * channels, cmykRow.empty() ? nullptr : cmykRow.data()))
            Refuse(d);
        ApplyOrientation(page, exif.orientation);
    }

    FileSource source_;
    std::int64_t maxPixels_;
};

}  // namespace

std::unique_ptr<PageReader> OpenJpegReader(FileSource source, std::int64_t maxPixels) {
    return std::make_unique<JpegReader>(std::move(source), maxPixels);
}

}  // namespace formats
