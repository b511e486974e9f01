#pragma once
// Draws the certificate's artwork from its definition: the twelve backgrounds, the judgement faces
// and the tooth-age digits.
#include <QImage>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "tools/certificate/CertificateDefinition.h"

namespace certificate {

using artwork::Artwork;

// The font each language prints in, named so that the output doesn't depend on fallback rules.
QString fontFamily(Language language);
// Of the families the drawing names, those missing from `installed` (by default, this system's).
std::vector<QString> missingFontFamilies(const QStringList& installed);
std::vector<QString> missingFontFamilies();

QImage drawBackground(const CertificateDefinition& definition, Form form, Language language);
// A judgement face: 11-13 and 21-23 (page 1's two judgements), 71-75 (page 3's overall one).
QImage drawFace(int number);
QImage drawDigit(int digit);
std::vector<Artwork> drawAllArtwork(const CertificateDefinition& definition);

std::string faceImageName(int number); // "icon_11.png"
std::string digitImageName(int digit); // "icon_num_0.png"

// Texts that had to shrink below the smallest readable size to fit their frame, as "file: text".
std::vector<std::string> overflowingTexts(const CertificateDefinition& definition);

} // namespace certificate
