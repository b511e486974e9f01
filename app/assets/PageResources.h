#pragma once
// What the screens draw with: images of the main bundle (the document pages and the photo editor),
// the clinic's logo and the photographs of its slots (sharp on paper), the fonts a print mode writes in,
// and scroll views that show no bars.
#include <QImage>
#include <QPixmap>
#include <cstddef>
#include <string>
#include <vector>

class QAbstractScrollArea;
class QLabel;
class QWidget;

namespace assets {

// The picture of the main bundle at this path ("circle.png", "ZVProgressHUD.bundle/info.png"), decoded
// once and kept while its file is unchanged; a null pixmap, logged with its name, when the bundle has
// none that loads.
QPixmap bundlePicture(const std::string& fileName);
// A page's image: the bundle picture with this file name, whose miss is also counted below.
QPixmap bundleImage(const std::string& fileName);
// How many bundle images have failed to load so far, and the names of those that failed after such a
// count (each once, in order): what a screen built since then is missing.
size_t bundleImageMisses();
std::vector<std::string> bundleImagesMissedSince(size_t mark);

// Shows the clinic's logo whole in the label, its shape kept and centred on a canvas of the label's
// own shape, which the label stretches to its size; made at three times that size, so it scales
// down cleanly. On paper the logo itself is drawn there, at up to the print resolution.
void showLogo(QLabel* label, const QPixmap& logo);

// Shows the photograph in a slot (a label that stretches its pixmap) as the slots show them: its
// middle, in the slot's shape, covering it. On paper the same part is drawn at up to the print
// resolution (see ui::showPrintablePicture).
void showSlotPhotograph(QLabel* slot, const QImage& photograph);

// Makes the form write in the document font of the language ("Chinese" or any other), in its style
// sheet, whose size rules would otherwise keep the screen's family.
void useDocumentFont(QWidget* form, const std::string& language);

// A page's text views and scroll views show their content as the printed form does, without bars.
void hideScrollBars(QAbstractScrollArea* view);

} // namespace assets
