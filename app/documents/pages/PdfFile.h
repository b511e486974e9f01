#pragma once
// Writing an exported PDF into Documents, and saying why it could not be written in the words the
// staff read (Japanese, whatever the document's language).
#include <QByteArray>
#include <functional>
#include <string>
#include <vector>

namespace documents {

// The failure of a capture that gave no bytes to write.
inline constexpr int kNothingCaptured = -1;

// Writes the data atomically (a reader sees the old file or the new one); 0 once written, else the
// errno of the failure (kNothingCaptured for empty data).
int writePdfFile(const std::string& path, const QByteArray& data);

// Replaces the disk for tests (a full disk, say); an empty writer puts the real one back.
using PdfFileWriter = std::function<int(const std::string& path, const QByteArray& data)>;
void setPdfFileWriter(PdfFileWriter writer);

// Why the file could not be written, one sentence.
std::string pdfFailureReason(int error);
// The alert's message for a PDF that was not saved to `path`.
std::string pdfNotSavedMessage(const std::string& path, int error);
// The alert's message for a saved PDF whose pages lack the named images.
std::string pdfMissingImagesMessage(const std::vector<std::string>& names);
// The alert's message when no application could open the saved PDF at `path`.
std::string pdfNotOpenedMessage(const std::string& path);

} // namespace documents
