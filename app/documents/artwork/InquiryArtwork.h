#pragma once
// Draws the questionnaire's artwork from its definition: the nine page backgrounds, the two circle
// marks and the radar chart background in each language.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <string>
#include <vector>

#include "app/documents/artwork/InquiryDefinition.h"

namespace questionnaire {

using artwork::Artwork;

// The font each language prints in, named so that the output doesn't depend on fallback rules.
QString fontFamily(Language language);
// Families the drawing names that this system can't provide; drawing without them differs.
std::vector<QString> missingFontFamilies();

QImage drawPage(const InquiryDefinition& definition, int page, Language language);
// The same page drawn onto a painter whose origin is the page's top left: as shapes and text, which
// print sharp at any resolution.
void paintPage(QPainter& painter, const InquiryDefinition& definition, int page, Language language);
QImage drawCircle(bool elongated);
QImage drawRadarBackground(const InquiryDefinition& definition, Language language);
std::vector<Artwork> drawAllArtwork(const InquiryDefinition& definition);

// Texts that had to shrink below the smallest readable size to fit their frame, as "file: text".
std::vector<std::string> overflowingTexts(const InquiryDefinition& definition);

// The radar view's points (score 1..5 of graph1..graph5), which the grid must meet.
QPointF radarPoint(int axis, int score);

} // namespace questionnaire
