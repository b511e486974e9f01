#include "platform/photos/ImageCheck.h"

#include <QByteArray>
#include <csetjmp>
#include <cstdio>
#include <map>

#include "platform/foundation/Format.h"
#include "platform/image/ImageDecoding.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace photos {

namespace {

// ---- JPEG, read with the JPEG library itself: Qt's reader fills a cut-off photograph with grey and
// keeps the decoder's warnings to itself.

struct JpegErrors {
    jpeg_error_mgr manager; // first: the library hands back a pointer to it
    jmp_buf jump;
    bool missingData = false;
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void jpegFailed(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void jpegMessage(j_common_ptr info, int level) {
    if (level >= 0) return; // traces
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    const int code = info->err->msg_code;
    if ((code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) && !errors->missingData) {
        errors->missingData = true;
        (*info->err->format_message)(info, errors->message);
    }
    info->err->num_warnings++;
}

struct JpegResult {
    bool read = false; // false: the library gave up, errors.message says why
    unsigned width = 0, height = 0;
};

// Reads the header and, when asked, decodes every scan. Only plain data lives in this frame: the
// library leaves it by a long jump on an error.
JpegResult readJpeg(const foundation::Data& data, bool decode, JpegErrors& errors) {
    JpegResult result;
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    errors.manager.emit_message = jpegMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        result.read = false;
        return result;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = long(kImageDecodeLimitMB) * 1024 * 1024;
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    result.width = info.image_width;
    result.height = info.image_height;
    if (decode) {
        // An eighth of the size still entropy-decodes every block, so missing data is found.
        info.scale_num = 1;
        info.scale_denom = 8;
        info.dct_method = JDCT_IFAST;
        info.do_fancy_upsampling = FALSE;
        jpeg_start_decompress(&info);
        JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                   info.output_width * JDIMENSION(info.output_components), 1);
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, row, 1);
        jpeg_finish_decompress(&info);
    }
    jpeg_destroy_decompress(&info);
    result.read = true;
    return result;
}

bool isJpeg(const foundation::Data& data) {
    return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// ---- what every format shares

ImageCheck refuse(std::string why) {
    return ImageCheck{std::nullopt, std::move(why)};
}

// A picture of this size with this much data, before anything is decoded.
std::optional<std::string> sizeRefusal(int64_t width, int64_t height, size_t bytes) {
    if (width <= 0 || height <= 0)
        return foundation::format("the picture claims %lld × %lld pixels", (long long)width,
                                  (long long)height);
    if (width * height * 4 > int64_t(kImageDecodeLimitMB) * 1024 * 1024)
        return foundation::format("a picture of %lld × %lld pixels needs more memory than a photograph may",
                                  (long long)width, (long long)height);
    if (width * height > int64_t(bytes) * kMostPixelsPerByte)
        return foundation::format("%lu bytes are far too few for a picture of %lld × %lld pixels",
                                  (unsigned long)bytes, (long long)width, (long long)height);
    return std::nullopt;
}

ImageCheck checkJpeg(const foundation::Data& data, bool decode) {
    JpegErrors errors;
    const JpegResult header = readJpeg(data, false, errors);
    if (!header.read) return refuse(std::string("the data is not a picture: ") + errors.message);
    if (auto why = sizeRefusal(header.width, header.height, data.size())) return refuse(*why);
    if (decode) {
        JpegErrors decoding;
        if (!readJpeg(data, true, decoding).read)
            return refuse(std::string("the picture cannot be decoded: ") + decoding.message);
        if (decoding.missingData)
            return refuse(std::string("the picture is missing data: ") + decoding.message);
    }
    return ImageCheck{ImageInfo{int(header.width), int(header.height), "public.jpeg", "jpg"}, {}};
}

ImageCheck checkWithQt(const foundation::Data& data, bool decode) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    imaging::PictureReader reader(bytes, imaging::Orientation::AsStored, kImageDecodeLimitMB);
    if (!reader.canRead()) return refuse("the data is not a picture");
    const QByteArray format = reader.format();
    QSize size = reader.size();
    if (size.isValid())
        if (auto why = sizeRefusal(size.width(), size.height(), data.size())) return refuse(*why);
    if (decode || !size.isValid()) {
        const QImage image = reader.read();
        if (image.isNull())
            return refuse("the picture cannot be decoded: " + reader.errorString().toStdString());
        size = image.size();
    }
    static const std::map<QByteArray, std::pair<std::string, std::string>> types = {
        {"png", {"public.png", "png"}},
        {"gif", {"com.compuserve.gif", "gif"}},
        {"bmp", {"com.microsoft.bmp", "bmp"}},
        {"tiff", {"public.tiff", "tiff"}},
        {"webp", {"org.webmproject.webp", "webp"}},
    };
    ImageInfo info{size.width(), size.height(), "public.image",
                   format.isEmpty() ? "img" : format.toStdString()};
    if (auto it = types.find(format); it != types.end())
        std::tie(info.uniformTypeIdentifier, info.extension) = it->second;
    return ImageCheck{std::move(info), {}};
}

} // namespace

ImageCheck inspectImage(const foundation::Data& data) {
    return isJpeg(data) ? checkJpeg(data, false) : checkWithQt(data, false);
}

ImageCheck checkImage(const foundation::Data& data) {
    return isJpeg(data) ? checkJpeg(data, true) : checkWithQt(data, true);
}

} // namespace photos
