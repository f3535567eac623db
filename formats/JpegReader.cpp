// JPEG pages through libjpeg-turbo: gray, colour (any subsampling, baseline or
// progressive) and CMYK, turned upright by their EXIF orientation. A picture
// whose data are damaged or end early is refused, not padded with gray.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "formats/ExifTags.h"
#include "formats/JpegError.h"
#include "formats/PageDecoding.h"
#include "formats/SinglePageReader.h"

namespace formats {
namespace {

// A progressive file may hold any number of scans, each a pass over the whole
// picture; real files have about ten. With the least data a file must hold
// (MinimumBits), the cap bounds the decoding work per byte of input.
constexpr int kMaxScans = 100;
// Arithmetic coding can code a flat page in almost nothing (a blank page of
// any size takes about 130 bytes), so no length proves a file cut short; a
// page of more than this many pixels a byte of file is refused as a bomb.
// Blank pages of up to about 30 million pixels pass.
constexpr std::int64_t kMaxArithmeticPixelsPerByte = std::int64_t{1} << 18;

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
        JpegFail(*cinfo, "more than 100 scans");
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
    d->error.headerRead = true;
    return true;
}

// Once the data ran out, a picture of several scans is whole only if every
// coefficient of every component was refined to its last bit (a progressive
// file's coef_bits all 0); a sequential one of several scans cannot tell
// whether a scan is missing.
bool WholeAfterInput(jpeg_decompress_struct& cinfo) {
    if (!jpeg_has_multiple_scans(&cinfo)) return true;
    if (!cinfo.progressive_mode || cinfo.coef_bits == nullptr) return false;
    for (int c = 0; c < cinfo.num_components; ++c)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (cinfo.coef_bits[c][k] != 0) return false;
    return true;
}

// Arithmetic coding gives no warning where its data end: the decoder goes on
// with zeros after the marker. A whole file may end so too, for its encoder
// drops the zero bytes that code an unchanging rest of the page, so a marker
// met with more than a row of blocks left is noted and the rows after it must
// turn out as one flat colour (DecodedRest).
bool MarkerBeforeTheEnd(const jpeg_decompress_struct& cinfo) {
    const int marker = cinfo.unread_marker;
    const bool restart = marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7;
    return marker != 0 && !restart && cinfo.input_iMCU_row + 1 < cinfo.total_iMCU_rows;
}

struct Output {
    PageImage* page;
    std::uint8_t* cmykRow;  // CMYK rows go through it and become RGB, inverted first for Adobe's files
    std::int64_t restFrom;  // set: the first row decoded after the data ended, 0 when none
};

void ToRgb(const std::uint8_t* cmyk, std::uint8_t* row, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
        const unsigned k = inverted ? 255u - cmyk[3] : cmyk[3];
        for (int i = 0; i < 3; ++i) row[3 * x + i] = CmykToRgb(inverted ? 255u - cmyk[i] : cmyk[i], k);
    }
}

// Decodes the page row by row into `out`; may leave by longjmp.
bool Decode(Decompressor* d, Output* out) {
    if (setjmp(d->error.jump)) return false;
    jpeg_decompress_struct& cinfo = d->cinfo;
    jpeg_start_decompress(&cinfo);
    if (d->error.endOfData && !WholeAfterInput(cinfo)) {
        d->error.truncated = true;
        return false;
    }
    const bool watchMarker = cinfo.arith_code && !jpeg_has_multiple_scans(&cinfo);
    const bool inverted = cinfo.saw_Adobe_marker;
    const std::size_t rowBytes = std::size_t{cinfo.output_width} * static_cast<std::size_t>(out->page->channels);
    while (cinfo.output_scanline < cinfo.output_height) {
        AddRows(*out->page, std::int64_t{cinfo.output_scanline} + 1);
        std::uint8_t* row = out->page->samples.data() + cinfo.output_scanline * rowBytes;
        JSAMPROW target = out->cmykRow != nullptr ? out->cmykRow : row;
        jpeg_read_scanlines(&cinfo, &target, 1);
        if (out->cmykRow != nullptr) ToRgb(out->cmykRow, row, cinfo.output_width, inverted);
        if (watchMarker && out->restFrom == 0 && MarkerBeforeTheEnd(cinfo))
            out->restFrom = (std::int64_t{cinfo.input_iMCU_row} + 1) * cinfo.max_v_samp_factor * DCTSIZE;
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

// Whether the rows from `from` on are one flat colour, as the zero bytes an
// encoder left out decode.
bool FlatFrom(const PageImage& page, std::int64_t from) {
    const std::size_t pixel = static_cast<std::size_t>(page.channels);
    const std::size_t start = static_cast<std::size_t>(from) * page.width * pixel;
    if (start >= page.samples.size()) return true;
    const std::uint8_t* first = page.samples.data() + start;
    for (std::size_t i = start + pixel; i < page.samples.size(); i += pixel)
        if (std::memcmp(page.samples.data() + i, first, pixel) != 0) return false;
    return true;
}

[[noreturn]] void Refuse(const Decompressor& d) {
    if (d.error.truncated) throw PageRefused("truncated JPEG file");
    throw PageRefused(std::string("broken JPEG file: ") + d.error.message);
}

// Chooses the decoded colours: gray stays gray, CMYK and YCCK become CMYK (then
// RGB here), everything else RGB. Gives the page's channels.
int ChooseOutput(jpeg_decompress_struct& cinfo) {
    if (cinfo.jpeg_color_space == JCS_GRAYSCALE) {
        cinfo.out_color_space = JCS_GRAYSCALE;
        return 1;
    }
    cinfo.out_color_space =
        cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK ? JCS_CMYK : JCS_RGB;
    return 3;
}

// The fewest bits a whole file of this picture holds. Huffman coding gives
// every block of a sequential scan a DC and an end-of-block (or AC) code, each
// at least a bit, and every block of a progressive file a DC code in its first
// DC scan; arithmetic coding, see kMaxArithmeticPixelsPerByte.
std::int64_t MinimumBits(const jpeg_decompress_struct& cinfo) {
    if (cinfo.arith_code)
        return std::int64_t{cinfo.image_width} * cinfo.image_height * 8 / kMaxArithmeticPixelsPerByte;
    std::int64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c)
        blocks += std::int64_t{cinfo.comp_info[c].width_in_blocks} * cinfo.comp_info[c].height_in_blocks;
    return cinfo.progressive_mode ? blocks : 2 * blocks;
}

// The sizes against the limits, then against the file: a file shorter than its
// picture's least data is cut off (or a bomb), however small its header says it is.
void CheckSizes(const jpeg_decompress_struct& cinfo, std::size_t fileBytes, std::int64_t maxPixels) {
    const std::int64_t width = cinfo.image_width, height = cinfo.image_height;
    CheckPageSize(width, height, maxPixels);
    if (static_cast<std::int64_t>(fileBytes) * 8 < MinimumBits(cinfo))
        throw PageRefused("truncated JPEG file: too short for " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels");
}

// The first EXIF segment counts, as other readers take it, even when a later
// one states other values.
ExifTags FirstExif(const jpeg_decompress_struct& cinfo) {
    for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1) continue;
        const ExifTags exif = ReadExifTags(marker->data, marker->data_length);
        if (exif.found) return exif;
    }
    return {};
}

// JFIF density in dots an inch (1) or a centimetre (2), else EXIF's; JFIF's
// unit 0 is an aspect ratio only.
void SetResolution(const jpeg_decompress_struct& cinfo, const ExifTags& exif, PageImage& page) {
    page.dpiX = exif.dpiX;
    page.dpiY = exif.dpiY;
    if (cinfo.saw_JFIF_marker && (cinfo.density_unit == 1 || cinfo.density_unit == 2)) {
        const double perInch = cinfo.density_unit == 1 ? 1.0 : 2.54;
        page.dpiX = cinfo.X_density * perInch;
        page.dpiY = cinfo.Y_density * perInch;
    }
}

class JpegReader : public WholeFileReader {
public:
    JpegReader(FileSource source, std::int64_t maxPixels) : WholeFileReader("JPEG", std::move(source), maxPixels) {}

private:
    void DecodeBytes(const std::vector<std::uint8_t>& bytes, std::int64_t maxPixels, PageImage& page) override {
        Decompressor d;
        InstallJpegError(*reinterpret_cast<j_common_ptr>(&d.cinfo), d.error);
        // A lowered pixel limit bounds libjpeg's own storage too (the coefficients
        // of a progressive file: 2 bytes a sample), so that fuzzed headers stay small.
        const long memoryLimit = maxPixels < limits::kMaxPixels ? static_cast<long>(maxPixels * 32 + (1 << 20)) : 0;
        if (!ReadHeader(&d, bytes.data(), bytes.size(), memoryLimit)) Refuse(d);

        jpeg_decompress_struct& cinfo = d.cinfo;
        const int channels = ChooseOutput(cinfo);
        CheckSizes(cinfo, bytes.size(), maxPixels);
        StartPage(page, cinfo.image_width, cinfo.image_height, channels, maxPixels);
        const ExifTags exif = FirstExif(cinfo);
        SetResolution(cinfo, exif, page);

        std::vector<std::uint8_t> cmykRow(cinfo.out_color_space == JCS_CMYK ? 4 * std::size_t{cinfo.image_width} : 0);
        Output out{&page, cmykRow.empty() ? nullptr : cmykRow.data(), 0};
        if (!Decode(&d, &out)) Refuse(d);
        if (out.restFrom > 0 && !FlatFrom(page, out.restFrom)) {
            if (d.error.endOfData) throw PageRefused("truncated JPEG file");
            throw PageRefused("broken JPEG file: Corrupt JPEG data: premature end of data segment");
        }
        ApplyOrientation(page, exif.orientation);
    }
};

}  // namespace

std::unique_ptr<PageReader> OpenJpegReader(FileSource source, std::int64_t maxPixels) {
    return std::make_unique<JpegReader>(std::move(source), maxPixels);
}

}  // namespace formats
