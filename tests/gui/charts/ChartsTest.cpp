#include <qcustomplot.h>

#include "charts/ChartControl.h"
#include "gui/ui/UiTestSupport.h"

namespace {

QPoint inWindow(QWidget* chart, QPointF at)
{
    return chart->mapTo(chart->window(), at.toPoint());
}

// Right-clicks the chart's middle as a user does and picks entry from the menu that comes up,
// answering the windows it opens with answers (see drive()). Returns the menu's entries.
QStringList chooseFromContextMenu(QWidget* chart, const QString& entry, const QStringList& answers)
{
    QStringList entries;
    QTimer picker;
    QObject::connect(&picker, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            return;
        }
        picker.stop();
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            const QString text = action->text().remove(u'&');
            if (!action->isSeparator()) {
                entries << text;
            }
            chosen = text == entry && action->isEnabled() ? action : chosen;
        }
        if (!chosen) {
            menu->close();
            return;
        }
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    picker.start(10);
    drive(
        [chart] {
            QTest::mouseClick(chart->window()->windowHandle(), Qt::RightButton, {},
                              inWindow(chart, chart->rect().center()));
        },
        answers);
    return entries;
}

// What an export left: a picture's size and whether it is drawn (more than a background and one
// other color), a PDF's first bytes, or the clipboard's text.
QString product(const QString& path)
{
    QImage image;
    if (path.isEmpty()) {
        image = QApplication::clipboard()->image();
        if (image.isNull()) {
            return QApplication::clipboard()->text();
        }
    } else if (path.endsWith(u".pdf"_s)) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.read(5)) : u"none"_s;
    } else {
        image.load(path);
    }
    return u"%1x%2 %3"_s.arg(image.width())
        .arg(image.height())
        .arg(image.convertToFormat(QImage::Format_Indexed8).colorCount() > 2 ? u"drawn"_s
                                                                             : u"blank"_s);
}

void wheel(QWidget* chart, QPointF at, int steps)
{
    QWheelEvent event(at, chart->mapToGlobal(at), {}, QPoint(0, 120 * steps), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &event);
}

void drag(QWidget* chart, QPointF from, QPointF to)
{
    QWindow* window = chart->window()->windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, inWindow(chart, from));
    QTest::mouseMove(window, inWindow(chart, (from + to) / 2.0));
    QTest::mouseMove(window, inWindow(chart, to));
    QTest::mouseRelease(window, Qt::LeftButton, {}, inWindow(chart, to));
}

}  // namespace

class ChartsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void exportsReachedThroughTheContextMenu_data()
    {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<QByteArray>("harmIndex");
        QTest::addColumn<QString>("entry");
        // typed into the file dialog, "|" between the dialogs' answers; none: clipboard
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("product");  // see product(); "chart": the chart's size
        QTest::newRow("spectrum, copy image")
            << u"spectrum"_s << "0"_ba << u"Copy Image"_s << QString() << u"chart drawn"_s;
        QTest::newRow("waveform, PNG") << u"waveform"_s << "0"_ba << u"Save Image As..."_s
                                       << u"charts.png"_s << u"1000x700 drawn"_s;
        QTest::newRow("spectrum, PDF")
            << u"spectrum"_s << "0"_ba << u"Save Image As..."_s << u"charts.pdf"_s << u"%PDF-"_s;
        // A plain name takes the filter's extension; another one is refused and asked again.
        QTest::newRow("spectrum, plain name, refused name first")
            << u"spectrum"_s << "0"_ba << u"Save Image As..."_s << u"charts.bmp|Ok|saved"_s
            << u"1000x700 drawn"_s;
        QTest::newRow("spectrum, values")
            << u"spectrum"_s << "0"_ba << u"Copy Values"_s << QString()
            << u"Harmonic,Percent,dB\n0,0.0000,\n0.5,0.0000,\n1,100.0000,0.00\n"_s;
        QTest::newRow("waveform, values")
            << u"waveform"_s << "0"_ba << u"Copy Values"_s << QString()
            << u"Sample,Percent\n0,120.0000\n1,119.6631\n"_s;
        QTest::newRow("waveform, values at 60 Hz")
            << u"waveform"_s << "2"_ba << u"Copy Values"_s << QString()
            << u"Time (ms),Percent\n0,120.0000\n0.1302,119.6631\n"_s;
        QTest::newRow("spectrum, values at 60 Hz")
            << u"spectrum"_s << "2"_ba << u"Copy Values"_s << QString()
            << u"Frequency (Hz),Percent,dB\n0,0.0000,\n30,0.0000,\n60,100.0000,0.00\n"_s;
    }

    // Each export as a user reaches it, read back from the file or the clipboard.
    void exportsReachedThroughTheContextMenu()
    {
        QFETCH(QString, chart);
        QFETCH(QByteArray, harmIndex);
        QFETCH(QString, entry);
        QFETCH(QString, file);
        QFETCH(QString, product);
        Started window({{"HarmIndex", harmIndex}, {"FFT Cycles", "2"}, {"Display Cycles", "1"}});
        window.showActive();
        addHarmonic(*window, {u"magnitude=20"_s});
        QApplication::clipboard()->clear();
        QStringList answers;
        for (const QString& answer : file.split(u'|', Qt::SkipEmptyParts)) {
            answers << (answer == u"Ok" ? answer : window.path(answer.toStdString()));
        }
        QString path = answers.isEmpty() ? QString() : answers.back();
        QCustomPlot* widget = ::chart(*window, chart);
        const QStringList entries = chooseFromContextMenu(widget, entry, answers);
        path += QFileInfo(path).suffix().isEmpty() && !path.isEmpty() ? u".png"_s : QString();
        const QSize chartSize = widget->size() * widget->devicePixelRatio();
        product.replace(u"chart"_s, u"%1x%2"_s.arg(chartSize.width()).arg(chartSize.height()));
        const QString made = ::product(path);
        if (entry == u"Copy Values") {
            QCOMPARE(made.count(u'\n'), widget->graph(0)->dataCount() + 1);
            QCOMPARE(made.left(product.size()), product);
            // The cursor's readouts name a value in the same units.
            QCOMPARE(readoutAt(::chart(*window, u"spectrum"_s), 3.0) + u'|' +
                         readoutAt(::chart(*window, u"waveform"_s), 16.0),
                     harmIndex == "0"
                         ? u"Harmonic 1.5: 0.000 %, -inf dB|Cycle 0.125, sample 16: 56.569 %"_s
                         : u"90 Hz: 0.000 %, -inf dB|2.083 ms, sample 16: 56.569 %"_s);
        } else {
            QCOMPARE(made, product);
        }
        QCOMPARE(entries.join(u'|'),
                 (chart == u"spectrum" ? u"Linear Scale (%)|dB Scale|"_s : QString()) +
                     u"Reset Zoom|Copy Image|Copy Values|Save Image As..."_s);
    }

    void scaleChosenInTheMenuIsKeptForTheNextRun()
    {
        Started window;
        window.showActive();
        chooseFromContextMenu(::chart(*window, u"spectrum"_s), u"dB Scale"_s, {});
        QCOMPARE(::chart(*window, u"spectrum"_s)->yAxis->label(), u"dB"_s);
        window->close();
        window.restart();
        QCOMPARE(::chart(*window, u"spectrum"_s)->yAxis->label(), u"dB"_s);
    }

    void spectrumOnScreenHasThePixelsOfItsStrokedImpulses_data()
    {
        QTest::addColumn<int>("bins");
        QTest::addColumn<int>("width");
        QTest::newRow("sampled, a dozen bins a pixel") << 3073 << 260;
        QTest::newRow("every bin, about one a pixel") << 300 << 331;
    }

    void spectrumOnScreenHasThePixelsOfItsStrokedImpulses()
    {
        QFETCH(int, bins);
        QFETCH(int, width);
        QWidget parent;
        ChartControl spectrum;
        spectrum.create(ChartType::Spectrum, &parent, QRect(0, 0, width, 150));
        std::vector<double> values;
        for (int bin = 0; bin < bins; ++bin) {
            values.push_back(bin % 7 == 3 ? 0.0 : std::fmod(bin * 7.31, 10.0) * (bin % 5 + 1));
        }
        spectrum.setTrace(values);
        spectrum.drawChart();
        // The screen's buffers are unscaled; shifted by a whole pixel the chart is stroked
        // line by line, on the same pixels.
        auto* plot = qobject_cast<QCustomPlot*>(spectrum.widget());
        const QImage screen = plot->toPixmap(width, 150).toImage();
        QImage stroked(width + 1, 151, screen.format());
        stroked.fill(Qt::transparent);
        QCPPainter painter(&stroked);
        painter.translate(1.0, 1.0);
        plot->toPainter(&painter, width, 150);
        painter.end();
        QCOMPARE(screen, stroked.copy(1, 1, width, 150));
    }

    void wheelAndDragStayInsideTheData_data()
    {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<double>("first");      // the whole data, as a double-click shows it
        QTest::addColumn<double>("last");       // with 12 display cycles and 3 FFT cycles
        QTest::addColumn<double>("shortLast");  // with 1 cycle of each
        QTest::addColumn<double>("narrowest");
        QTest::newRow("spectrum") << u"spectrum"_s << -0.5 << 192.5 << 64.5 << 2.0;
        QTest::newRow("waveform") << u"waveform"_s << 0.0 << 1535.0 << 127.0 << 4.0;
    }

    void wheelAndDragStayInsideTheData()
    {
        QFETCH(QString, chart);
        QFETCH(double, first);
        QFETCH(double, last);
        QFETCH(double, shortLast);
        QFETCH(double, narrowest);
        Started window({{"FFT Cycles", "3"}});
        window.showActive();
        QCustomPlot* widget = ::chart(*window, chart);
        const auto view = [widget] {
            return std::pair(widget->xAxis->range().lower, widget->xAxis->range().upper);
        };
        const QPointF middle = QRectF(widget->rect()).center();
        const QPointF step(widget->width() * 0.35, 0.0);  // well inside the plot
        wheel(widget, middle - step, 5);
        QVERIFY(view().second - view().first < (last - first) / 2.0);
        // A recalculation keeps a view.
        const auto zoomed = view();
        addHarmonic(*window, {u"number=5 magnitude=10"_s});
        QCOMPARE(view(), zoomed);
        for (int drags = 0; drags < 3; ++drags) {
            drag(widget, middle + step, middle - step);  // towards the end
        }
        QCOMPARE(view().second, last);
        // Less data under a view at its end.
        drive([&window] { trigger(*window, u"preferences"_s); },
              {u"displayCycles=1 fftCycles=1"_s});
        QCOMPARE(view().second, shortLast);
        // The narrowest view at the start: tick labels distinct, none before the data.
        wheel(widget, QPointF(widget->axisRect()->left() + 1.0, middle.y()), 40);
        QCOMPARE(view(), std::pair(first, first + narrowest));
        QCoreApplication::processEvents();  // the replot that makes the ticks
        QStringList labels = widget->xAxis->tickVectorLabels();
        QVERIFY(labels.size() > 1 && labels.removeDuplicates() == 0);
        QCOMPARE(labels.filter(u"-"_s), QStringList());
        QTest::mouseDClick(widget, Qt::LeftButton, {}, middle.toPoint());
        QCOMPARE(view(), std::pair(first, shortLast));
    }

    // A new document shows both charts whole, however far the user had zoomed in.
    void newDocumentShowsTheWholeRange_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer");
        QTest::newRow("File > New") << u"new"_s << QString();
        QTest::newRow("File > Open") << u"open"_s << u"other.kvk"_s;
    }

    void newDocumentShowsTheWholeRange()
    {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        Started window;
        writeWholeFile(window.dir.file("other.kvk"), "1 100 0\n40 5 0\n");
        window.showActive();
        QList<QCustomPlot*> charts{chart(*window, u"spectrum"_s), chart(*window, u"waveform"_s)};
        QList<QCPRange> whole;
        for (QCustomPlot* widget : charts) {
            whole << widget->xAxis->range();
            wheel(widget, QRectF(widget->rect()).center(), 5);
            QVERIFY(widget->xAxis->range().size() < whole.back().size() / 2.0);
        }
        drive([&window, &command] { trigger(*window, command); },
              answer.isEmpty() ? QStringList() : QStringList{window.path("") + answer});
        QCOMPARE(window->design().fileName().empty(), answer.isEmpty());
        for (qsizetype i = 0; i < charts.size(); ++i) {
            QCOMPARE(charts[i]->xAxis->range(), whole[i]);
        }
    }
};

QTEST_MAIN(ChartsTest)
#include "ChartsTest.moc"
