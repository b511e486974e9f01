#include "app/documents/pages/PdfFile.h"

#include <cerrno>
#include <system_error>

#include "platform/foundation/Files.h"
#include "platform/foundation/Format.h"

namespace documents {

namespace {
PdfFileWriter& writerOverride() {
    static PdfFileWriter writer;
    return writer;
}
} // namespace

int writePdfFile(const std::string& path, const QByteArray& data) {
    if (data.isEmpty()) return kNothingCaptured;
    if (const auto& writer = writerOverride()) return writer(path, data);
    errno = 0;
    if (foundation::writeFileAtomically(path, data.constData(), size_t(data.size()))) return 0;
    return errno != 0 ? errno : EIO;
}

void setPdfFileWriter(PdfFileWriter writer) {
    writerOverride() = std::move(writer);
}

std::string pdfFailureReason(int error) {
    switch (error) {
    case kNothingCaptured:
        return "ページを書き出せませんでした。";
    case EISDIR:
        return "同じ名前のフォルダがあります。";
    case ENOTDIR:
    case ENOENT:
        return "保存先のフォルダがありません。";
    case ENOSPC:
    case EDQUOT:
        return "ディスクの空き容量が足りません。";
    case ENAMETOOLONG:
        return "ファイル名が長すぎます。";
    case EACCES:
    case EPERM:
        return "保存先に書き込む権限がありません。";
    case EROFS:
        return "保存先が読み取り専用です。";
    case EIO:
        return "ディスクの読み書きに失敗しました。";
    default:
        return foundation::format("書き込みに失敗しました（%@）。", std::generic_category().message(error));
    }
}

std::string pdfNotSavedMessage(const std::string& path, int error) {
    return foundation::format("PDFを保存できませんでした。\n%@\n保存先: %@", pdfFailureReason(error), path);
}

std::string pdfMissingImagesMessage(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : "\n") + name;
    return foundation::format(
        "PDFは保存しましたが、次の画像を読み込めなかったため、その部分が空白になっています。\n%@", list);
}

std::string pdfNotOpenedMessage(const std::string& path) {
    return foundation::format(
        "PDFを開くアプリケーションが見つかりませんでした。\nPDFは次の場所に保存されています。\n%@", path);
}

} // namespace documents
