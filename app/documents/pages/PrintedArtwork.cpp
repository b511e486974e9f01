#include "app/documents/pages/PrintedArtwork.h"

#include <QEvent>
#include <QLabel>
#include <QPaintEngine>
#include <QPainter>
#include <functional>
#include <utility>

#include "app/documents/artwork/CertificateArtwork.h"
#include "app/documents/artwork/CertificateDefinition.h"
#include "app/documents/artwork/InquiryArtwork.h"
#include "app/documents/artwork/InquiryDefinition.h"

namespace documents {

namespace {

// Paints the label's artwork from its definition wherever the label is not painted on screen.
class ArtworkPrinter : public QObject {
  public:
    explicit ArtworkPrinter(QLabel* label) : QObject(label) { label->installEventFilter(this); }

    // `size`: the drawing's own size, which the label's is scaled from.
    void setDrawing(QSize size, std::function<void(QPainter&)> draw) {
        size_ = size;
        draw_ = std::move(draw);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || watched != parent() || !draw_ || size_.isEmpty()) return false;
        auto* label = static_cast<QLabel*>(parent());
        QPainter painter(label);
        // On screen the label shows its image, as every screen of the app does.
        const QPaintEngine* engine = painter.paintEngine();
        if (!engine || engine->type() == QPaintEngine::Raster) return false;
        painter.setClipRect(label->rect());
        painter.scale(double(label->width()) / size_.width(), double(label->height()) / size_.height());
        draw_(painter);
        return true;
    }

  private:
    QSize size_;
    std::function<void(QPainter&)> draw_;
};

void print(QLabel* label, QSize size, std::function<void(QPainter&)> draw) {
    if (!label) return;
    auto* printer = label->findChild<ArtworkPrinter*>(QString(), Qt::FindDirectChildrenOnly);
    if (!printer) printer = new ArtworkPrinter(label);
    printer->setDrawing(size, std::move(draw));
}

// The families are looked up once: a font is not installed while the app runs. Without them the
// drawing would take other fonts than the images; the label then prints its image.
bool questionnaireFonts() {
    static const bool present = questionnaire::missingFontFamilies().empty();
    return present;
}

bool certificateFonts() {
    static const bool present = certificate::missingFontFamilies().empty();
    return present;
}

} // namespace

void printQuestionnaireArtwork(QLabel* label, int page, const std::optional<std::string>& language) {
    if (page < 1 || page > 3 || !questionnaireFonts()) return;
    const artwork::Language lang = language == "Japanese"  ? artwork::Language::Japanese
                                   : language == "Chinese" ? artwork::Language::Chinese
                                                           : artwork::Language::English;
    const auto& definition = questionnaire::inquiryDefinition();
    print(label, QSize(768, definition.pageHeights[size_t(page - 1)]), [page, lang](QPainter& p) {
        questionnaire::paintPage(p, questionnaire::inquiryDefinition(), page, lang);
    });
}

void printCertificateArtwork(QLabel* label, int page, const std::string& language) {
    if (page < 0 || page > 3 || !certificateFonts()) return;
    static const certificate::Form forms[] = {certificate::Form::OnePage, certificate::Form::Page1,
                                              certificate::Form::Page2, certificate::Form::Page3};
    const certificate::Form form = forms[page];
    const artwork::Language lang = language == "English"   ? artwork::Language::English
                                   : language == "Chinese" ? artwork::Language::Chinese
                                                           : artwork::Language::Japanese;
    print(label, QSize(certificate::kPageWidth, certificate::kPageHeight), [form, lang](QPainter& p) {
        certificate::paintBackground(p, certificate::certificateDefinition(), form, lang);
    });
}

void printToothAgeDigit(QLabel* label, int digit) {
    if (digit < 0 || digit > 9 || !certificateFonts()) return;
    print(label, certificate::kDigitSize, [digit](QPainter& p) { certificate::paintDigit(p, digit); });
}

} // namespace documents
