// How long the questionnaire's print preview takes to capture its three pages into a PDF and write it,
// against a plain program that draws the same backgrounds (from their definition, as printed pages
// draw them), circles, texts and chart with QPdfWriter and writes the file the same way. Prints the times,
// the ratio and the file sizes; exits with 1 when the capture takes more than 1.5 times the plain drawing.
//
//   bench_print [rounds]      (default 15, at least 5; the home is a fresh temporary folder)
#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/MainStoryboard.h"
#include "app/ProcessEntry.h"
#include "app/documents/artwork/InquiryArtwork.h"
#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/documents/questionnaire/printInquiryView.h"
#include "app/documents/questionnaire/radarChartView.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "bench/BenchApp.h"
#include "platform/foundation/Files.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PDFContext.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Window.h"

using Clock = std::chrono::steady_clock;

namespace {

// What the plain program draws: every picture and text of the pages, at its place in the content.
struct Element {
    QRect rect;
    QImage image;
    QString text;
    QFont font;
    int artworkPage = 0; // a page's background, drawn from the definition
};

std::vector<Element> elementsOf(printInquiryView& preview) {
    std::vector<Element> out;
    for (int n = 1; n <= 3; ++n) {
        QWidget* form = preview.page(n)->formView();
        const QPoint origin = form->mapTo(preview.scrollView()->widget(), QPoint(0, 0));
        for (QWidget* w : form->findChildren<QWidget*>()) {
            const QRect rect = w->geometry().translated(origin);
            if (auto* label = qobject_cast<QLabel*>(w)) {
                if (label == preview.page(n)->backgroundImage())
                    out.push_back({rect, {}, {}, {}, n});
                else if (!label->pixmap().isNull())
                    out.push_back({rect, label->pixmap().toImage(), {}, {}});
                else if (!label->text().isEmpty())
                    out.push_back({rect, {}, label->text(), label->font()});
            } else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->icon().isNull()) {
                out.push_back({rect, button->icon().pixmap(button->size()).toImage(), {}, {}});
            } else if (auto* line = qobject_cast<QLineEdit*>(w); line && !line->text().isEmpty()) {
                out.push_back({rect, {}, line->text(), line->font()});
            } else if (auto* text = qobject_cast<QPlainTextEdit*>(w);
                       text && !text->toPlainText().isEmpty()) {
                out.push_back({rect, {}, text->toPlainText(), text->font()});
            }
        }
    }
    return out;
}

QByteArray drawPlainly(const std::vector<Element>& elements, const QPolygonF& chart) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    writer.setPageSize(QPageSize(QSizeF(768, 1190), QPageSize::Point, QString(), QPageSize::ExactMatch));
    QPainter p(&writer);
    for (int page = 0; page < 3; ++page) {
        if (page > 0) writer.newPage();
        p.resetTransform();
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::LosslessImageRendering);
        p.setClipRect(QRectF(0, 0, 768, 1190));
        p.translate(0, 20 - page * 1150);
        const QRect band(0, page * 1150, 768, 1150);
        for (const Element& e : elements) {
            if (!band.intersects(e.rect)) continue;
            if (e.artworkPage != 0) {
                p.save();
                p.translate(e.rect.topLeft());
                questionnaire::paintPage(p, questionnaire::inquiryDefinition(), e.artworkPage,
                                         artwork::Language::Japanese);
                p.restore();
            } else if (!e.image.isNull()) {
                p.drawImage(e.rect, e.image);
            } else {
                p.setFont(e.font);
                p.drawText(e.rect, Qt::AlignLeft | Qt::AlignVCenter, e.text);
            }
        }
        if (band.intersects(chart.boundingRect().toRect())) {
            p.setPen(QPen(QColor(230, 0, 126), 2));
            p.drawPolygon(chart);
        }
    }
    p.end();
    return data;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 15;
    bench::BenchApp bench(argc, argv);

    app::registerLoadHooks();
    auto delegate = std::make_shared<zurarerizIvaDadadavu>();
    delegate->setSDKStarter([] {});
    ui::Application app(delegate);
    app.launch(app::kMainStoryboardName);
    // Activation and the clinic database come on the loop's next turns.
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    StaticVariableHelper::setInquiryLanguage(std::string("Japanese"));
    delegate->inputItems() = store::FormData{};
    delegate->patientID() = "999999";
    if (!delegate->setPatientInfoData()) {
        std::fprintf(stderr, "the seed patient did not load\n");
        return 2;
    }
    auto preview = std::dynamic_pointer_cast<printInquiryView>(
        ui::Storyboard::named(app::kMainStoryboardName)->instantiateViewController("printInquiryView"));
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(delegate->window()->rootViewController());
    nav->pushViewController(preview, false);
    QApplication::processEvents();

    const std::vector<Element> elements = elementsOf(*preview);
    QPolygonF chart;
    const QPoint chartOrigin = preview->radarChart()->geometry().topLeft();
    for (int axis = 1; axis <= 5; ++axis)
        if (auto point = radarChartView::pointFor(axis, std::array{4, 3, 5, 1, 3}[size_t(axis - 1)]))
            chart << *point + QPointF(chartOrigin);
    const std::string folder = bench.homePath();

    std::vector<double> captured, plain;
    qint64 capturedSize = 0, plainSize = 0;
    for (int round = 0; round < rounds + 2; ++round) {
        auto t = Clock::now();
        const QByteArray a = preview->capturePages(true);
        foundation::writeFileAtomically(folder + "/captured.pdf", a.constData(), size_t(a.size()));
        const double capture = std::chrono::duration<double>(Clock::now() - t).count();
        t = Clock::now();
        const QByteArray b = drawPlainly(elements, chart);
        foundation::writeFileAtomically(folder + "/plain.pdf", b.constData(), size_t(b.size()));
        const double drawn = std::chrono::duration<double>(Clock::now() - t).count();
        if (round < 2) continue; // warm caches and fonts first
        captured.push_back(capture);
        plain.push_back(drawn);
        capturedSize = a.size();
        plainSize = b.size();
    }
    const double ratio = bench::median(captured) / bench::median(plain);
    std::printf("capture and write, three pages:  %.1f ms (median of %d)\n", bench::median(captured) * 1000,
                rounds);
    std::printf("plain QPdfWriter, same content:  %.1f ms\n", bench::median(plain) * 1000);
    std::printf("ratio: %.2f (target at most 1.50)\n", ratio);
    std::printf("file size: captured %lld bytes, plain %lld bytes\n", (long long)capturedSize,
                (long long)plainSize);
    nav->popToRootViewController(false);
    return ratio <= 1.5 ? 0 : 1;
}
