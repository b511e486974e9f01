#pragma once
// Draws the certificate's artwork from its definition: the twelve backgrounds, the judgement faces
// and the tooth-age digits.
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "app/documents/artwork/CertificateDefinition.h"

namespace certificate {

using artwork::Artwork;

// The font each language prints in, named so that the output doesn't depend on fallback rules.
QString fontFamily(Language language);
// Of the families the drawing names, those missing from `installed` (by default, this system's).
std::vector<QString> missingFontFamilies(const QStringList& installed);
std::vector<QString> missingFontFamilies();

QImage drawBackground(const CertificateDefinition& definition, Form form, Language language);
// The same background drawn onto a painter whose origin is the page's top left: as shapes and text,
// which print sharp at any resolution.
void paintBackground(QPainter& painter, const CertificateDefinition& definition, Form form,
                     Language language);
// A judgement face: 11-13 and 21-23 (page 1's two judgements), 71-75 (page 3's overall one).
QImage drawFace(int number);
inline constexpr QSize kDigitSize{60, 84};
QImage drawDigit(int digit);
// A tooth-age digit drawn onto a painter, in a box of kDigitSize from its origin.
void paintDigit(QPainter& painter, int digit);
std::vector<Artwork> drawAllArtwork(const CertificateDefinition& definition);

std::string faceImageName(int number); // "icon_11.png"
std::string digitImageName(int digit); // "icon_num_0.png"

// Texts that had to shrink below the smallest readable size to fit their frame, as "file: text".
std::vector<std::string> overflowingTexts(const CertificateDefinition& definition);

} // namespace certificate
