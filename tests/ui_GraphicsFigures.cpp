// The Graphics tab's figures for print: the report hydrograph, the report
// style, and saving as BMP, PNG, SVG or PDF.
#include <QSvgRenderer>
#include <QTest>

#include "FigureFile.h"
#include "TextFile.h"
#include "UWindowDialogs.h"
#include "ui_RainFormSupport.h"

namespace {

using std::string;

class GraphicsFigures : public RainFormTest {
 protected:
  void SetUp() override {
    RainFormTest::SetUp();
    ShowTab(form->GraphicsTabSheet);
    Choose(CopyExample("spotpy_d_spring2013.out"));
    QTest::mouseClick(Widget<QPushButton>(*form, "MakeGraphButton"), Qt::LeftButton);
  }
  void Go(const char* choice) {
    Widget<QRadioButton>(*form, choice)->setChecked(true);
    QTest::mouseClick(Widget<QPushButton>(*form, "GoButton1"), Qt::LeftButton);
  }
  // Saves the graph shown under `name`; its bytes.
  string Save(const string& name) {
    dialogs.messages.clear();
    Choose(directory.File(name));
    QTest::mouseClick(Widget<QPushButton>(*form, "SaveGraphButton"), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages,
              std::vector<string>{"The graph was saved in  " + directory.File(name)});
    return ReadFileBytes(directory.File(name));
  }
  // The classic picture has a silver frame, a report figure is white.
  QColor Corner() const { return form->Graphics().GraphBitmap().pixelColor(2, 2); }
};

TEST_F(GraphicsFigures, ReportHydrographSavedInEveryFormat) {
  EXPECT_EQ(DialogNameFilter(form->GraphSaveDialog.Filter),
            "Image files (*.bmp);;PNG pictures (*.png);;SVG drawings (*.svg);;"
            "PDF documents (*.pdf)");
  Go("ReportHydrographRadioButton");
  EXPECT_EQ(form->Graphics().GraphKind(), 10);
  EXPECT_TRUE(Widget<QLabel>(*form, "GraphImage")->isVisible());
  EXPECT_EQ(Corner(), QColor(Qt::white));

  // Saved as 16 x 12 cm at 300 dpi.
  Save("hydrograph.svg");
  const QSvgRenderer svg(QString::fromStdString(directory.File("hydrograph.svg")));
  EXPECT_TRUE(svg.isValid());
  EXPECT_EQ(svg.viewBoxF(), QRectF(0, 0, 1890, 1417));
  EXPECT_EQ(Save("hydrograph.pdf").rfind("%PDF-", 0), 0u);
  Save("hydrograph.png");
  EXPECT_EQ(QImage(QString::fromStdString(directory.File("hydrograph.png"))).size(),
            QSize(1890, 1417));
}

TEST_F(GraphicsFigures, StyleChoiceIsSharedAndClassicStaysTheBitmap) {
  Go("RunoffRadioButton");
  EXPECT_EQ(Corner(), QColor(192, 192, 192));
  // A classic graph as a vector picture keeps its 623 x 465 design.
  const QSvgRenderer classic(QByteArray::fromStdString(Save("classic.svg")));
  EXPECT_EQ(classic.viewBoxF(), QRectF(0, 0, 623, 465));

  QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
  Widget<QCheckBox>(*form, "ReportStyleBox1")->setChecked(true);
  EXPECT_TRUE(Widget<QCheckBox>(*form, "ReportStyleBox3")->isChecked());
  Go("RunoffRadioButton");
  EXPECT_TRUE(form->Graphics().ReportStyle());
  EXPECT_EQ(Corner(), QColor(Qt::white));
  // A bitmap of the report style is the figure at 300 dpi, not the screen's picture.
  EXPECT_EQ(Save("report.bmp").substr(0, 2), "BM");
  EXPECT_EQ(QImage(QString::fromStdString(directory.File("report.bmp"))).size(), QSize(1890, 1417));

  QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
  Widget<QCheckBox>(*form, "ReportStyleBox1")->setChecked(false);
  Go("RunoffRadioButton");
  EXPECT_EQ(Corner(), QColor(192, 192, 192));
  Save("classic.bmp");
  EXPECT_EQ(QImage(QString::fromStdString(directory.File("classic.bmp"))).size(), QSize(623, 465));
}

// The graph on screen is drawn at the size of its area, not the bitmap
// enlarged: also when the window grew while another tab was shown.
TEST_F(GraphicsFigures, ShownAtTheSizeOfItsArea) {
  for (const bool report : {false, true}) {
    SCOPED_TRACE(report);
    Widget<QCheckBox>(*form, "ReportStyleBox1")->setChecked(report);
    Go("RunoffRadioButton");
    ShowTab(form->OutputTabSheet);
    form->resize(form->size() + QSize(300, 200));
    ShowTab(form->GraphicsTabSheet);
    Settle();
    const QLabel* area = Widget<QLabel>(*form, "GraphImage");
    const QImage shown = area->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_GT(shown.width(), 623);
    EXPECT_TRUE(shown.width() == area->width() || shown.height() == area->height());
    TFigureFormat format;
    format.Width = shown.width();
    format.Height = shown.height();
    format.Style = report ? TGraphStyle::Report : TGraphStyle::Classic;
    EXPECT_EQ(shown, RenderFigure(format, GraphFigure(d(), 1, format)));
    EXPECT_EQ(form->Graphics().GraphBitmap().size(), QSize(623, 465));
    QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
  }
}

}  // namespace
