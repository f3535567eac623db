// Gray JPEG pages through libjpeg-turbo, written straight into the output file.
#include <stdexcept>
#include <vector>

#include "formats/JpegError.h"
#include "formats/PageDecoding.h"
#include "formats/PageEncoding.h"

namespace formats {
namespace {

constexpr std::size_t kBufferBytes = 1 << 16;

struct Destination {
    jpeg_destination_mgr manager{};  // first: libjpeg hands back a pointer to it
    OutputSink* sink = nullptr;
    std::uint8_t* buffer = nullptr;
    std::error_code error;
};

Destination& DestinationOf(j_compress_ptr cinfo) { return *reinterpret_cast<Destination*>(cinfo->dest); }

void StartDestination(j_compress_ptr cinfo) {
    Destination& d = DestinationOf(cinfo);
    d.manager.next_output_byte = d.buffer;
    d.manager.free_in_buffer = kBufferBytes;
}

void WriteOut(j_compress_ptr cinfo, std::size_t bytes) {
    Destination& d = DestinationOf(cinfo);
    d.error = d.sink->TryWrite(d.buffer, bytes);
    if (d.error) JpegFail(*reinterpret_cast<j_common_ptr>(cinfo), "write failed");
}

boolean EmptyBuffer(j_compress_ptr cinfo) {
    WriteOut(cinfo, kBufferBytes);
    StartDestination(cinfo);
    return TRUE;
}

void TerminateDestination(j_compress_ptr cinfo) {
    WriteOut(cinfo, kBufferBytes - DestinationOf(cinfo).manager.free_in_buffer);
}

struct Compressor {
    jpeg_compress_struct cinfo{};
    JpegError error;
    Destination destination;
    bool created = false;
    ~Compressor() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

// libjpeg may leave this by longjmp: nothing here has a destructor.
bool Compress(Compressor* c, const GrayImage* page, int quality) {
    if (setjmp(c->error.jump)) return false;
    jpeg_create_compress(&c->cinfo);
    c->created = true;
    jpeg_compress_struct& cinfo = c->cinfo;
    c->destination.manager.init_destination = StartDestination;
    c->destination.manager.empty_output_buffer = EmptyBuffer;
    c->destination.manager.term_destination = TerminateDestination;
    cinfo.dest = &c->destination.manager;
    cinfo.image_width = static_cast<JDIMENSION>(page->width);
    cinfo.image_height = static_cast<JDIMENSION>(page->height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (StatesResolution(*page)) {
        cinfo.density_unit = 1;  // dots an inch
        cinfo.X_density = static_cast<UINT16>(RoundedWithin(page->dpiX, 1, 65535));
        cinfo.Y_density = static_cast<UINT16>(RoundedWithin(page->dpiY, 1, 65535));
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(page->bytes + cinfo.next_scanline * page->stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

class JpegWriter : public SinglePageWriter {
public:
    JpegWriter(const std::string& path, int quality) : SinglePageWriter(path, "JPEG"), quality_(quality) {}

private:
    void CheckFormatHolds(const GrayImage& page) const override {
        if (page.width > JPEG_MAX_DIMENSION || page.height > JPEG_MAX_DIMENSION)
            throw PageRefused("a JPEG page is at most 65500 pixels a side");
    }

    void Encode(const GrayImage& page, OutputSink& sink) override {
        std::vector<std::uint8_t> buffer(kBufferBytes);
        Compressor c;
        InstallJpegError(*reinterpret_cast<j_common_ptr>(&c.cinfo), c.error);
        c.destination.sink = &sink;
        c.destination.buffer = buffer.data();
        if (!Compress(&c, &page, quality_)) {
            if (c.destination.error) sink.Fail(c.destination.error);
            throw std::runtime_error(std::string("JPEG encoder: ") + c.error.message);
        }
    }

    int quality_;
};

}  // namespace

std::unique_ptr<PageWriter> CreateJpegWriter(const std::string& path, int quality) {
    return std::make_unique<JpegWriter>(path, quality);
}

}  // namespace formats
