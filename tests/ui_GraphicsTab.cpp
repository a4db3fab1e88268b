// The Graphics tab: graphs of analysis and prediction results files, the
// choice panels, saving colour and black-and-white bitmaps, opening pictures.
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <chrono>

#include "TextFile.h"
#include "UGraphDraw.h"
#include "URainRun.h"
#include "UTevloraUtils.h"
#include "ui_RainFormSupport.h"

namespace {

using std::string;
using std::vector;

// Distinct colours of a picture.
int ColourCount(const QImage& image) {
  QSet<QRgb> colours;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) colours.insert(rgb.pixel(x, y));
  }
  return colours.size();
}

class GraphicsTab : public RainFormTest {
 protected:
  void SetUp() override {
    RainFormTest::SetUp();
    ShowTab(form->GraphicsTabSheet);
  }
  // Copies a results file of the examples (and, first, as a run writes them,
  // its trend file) and makes graphs of it with "Make graph".
  string MakeGraph(const string& results, bool withTrend = false) {
    if (withTrend) CopyExample(ChangeFileExt(results, ".dat"));
    const string copy = CopyExample(results);
    Choose(copy);
    QTest::mouseClick(Widget<QPushButton>(*form, "MakeGraphButton"), Qt::LeftButton);
    return copy;
  }
  void Go(QRadioButton* choice, QPushButton* go) {
    choice->setChecked(true);
    QTest::mouseClick(go, Qt::LeftButton);
  }
  // After "Go": one graph shown, the panels gone, the saves usable.
  void ExpectGraphShown(int kind) {
    EXPECT_EQ(form->Graphics().GraphKind(), kind);
    EXPECT_TRUE(Widget<QLabel>(*form, "GraphImage")->isVisible());
    EXPECT_FALSE(Widget<QWidget>(*form, "Panel1")->isVisible());
    EXPECT_FALSE(Widget<QWidget>(*form, "Panel3")->isVisible());
    EXPECT_TRUE(Widget<QPushButton>(*form, "SelectButton")->isEnabled());
    EXPECT_TRUE(Widget<QPushButton>(*form, "SaveGraphButton")->isEnabled());
    EXPECT_TRUE(Widget<QPushButton>(*form, "BlWhButton")->isEnabled());
    EXPECT_EQ(form->Graphics().GraphBitmap().size(), QSize(623, 465));
    EXPECT_EQ(Widget<QLabel>(*form, "GraphImage")
                  ->pixmap()
                  .toImage()
                  .convertToFormat(QImage::Format_RGB32),
              form->Graphics().GraphBitmap().convertToFormat(QImage::Format_RGB32));
  }
};

TEST_F(GraphicsTab, MakeGraphOfAnAnalysis) {
  const string results = MakeGraph("spotpy_d_flood2013_12d.out", true);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(d().OutFileName, results);
  EXPECT_TRUE(Widget<QPlainTextEdit>(*form, "OutputMemo")
                  ->toPlainText()
                  .startsWith("THE RESULTS OF TevloraT PROGRAM"));
  EXPECT_TRUE(form->Graphics().GraphReady());
  EXPECT_TRUE(Widget<QWidget>(*form, "Panel1")->isVisible());
  EXPECT_FALSE(Widget<QWidget>(*form, "Panel3")->isVisible());
  EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isVisible());
  EXPECT_FALSE(Widget<QPushButton>(*form, "SelectButton")->isEnabled());

  // Every analysis kind, each a picture of its own.
  const std::pair<QRadioButton*, int> choices[] = {
      {Widget<QRadioButton>(*form, "RunoffRadioButton"), 1},
      {Widget<QRadioButton>(*form, "RechRadioButton"), 3},
      {Widget<QRadioButton>(*form, "CalcObsRadioButton"), 7},
      {Widget<QRadioButton>(*form, "RechRunRadioButton"), 9},
      {Widget<QRadioButton>(*form, "RainRunRadioButton"), 8}};
  vector<QImage> pictures;
  for (const auto& [choice, kind] : choices) {
    SCOPED_TRACE(kind);
    Go(choice, Widget<QPushButton>(*form, "GoButton1"));
    ExpectGraphShown(kind);
    EXPECT_EQ(d().NrOfData, 12);
    // The comment belongs to the discharge-recharge graph only.
    EXPECT_EQ(Widget<QPushButton>(*form, "CommentButton")->isEnabled(), kind == 8);
    for (const QImage& earlier : pictures) EXPECT_NE(earlier, form->Graphics().GraphBitmap());
    pictures.push_back(form->Graphics().GraphBitmap());

    QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
    EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isVisible());
    EXPECT_FALSE(Widget<QPushButton>(*form, "SelectButton")->isEnabled());
    EXPECT_FALSE(Widget<QPushButton>(*form, "CommentButton")->isEnabled());
    EXPECT_TRUE(Widget<QWidget>(*form, "Panel1")->isVisible());
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(GraphicsTab, DischargeRechargeNeedsTheTrendFile) {
  MakeGraph("spotpy_d_flood2013_12d.out", false);
  Go(Widget<QRadioButton>(*form, "RainRunRadioButton"), Widget<QPushButton>(*form, "GoButton1"));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find(".dat"), string::npos);
  EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isVisible());
  // The tab stays usable: another kind is drawn.
  Go(Widget<QRadioButton>(*form, "RunoffRadioButton"), Widget<QPushButton>(*form, "GoButton1"));
  ExpectGraphShown(1);
}

// A trend file newer than its results file is half of a run that stopped
// between writing the two: refused with a word, never drawn.
TEST_F(GraphicsTab, DischargeRechargeRefusesATornPair) {
  const string results = MakeGraph("spotpy_d_flood2013_12d.out", true);
  const string trend = ChangeFileExt(results, ".dat");
  std::filesystem::last_write_time(
      trend, std::filesystem::last_write_time(results) + std::chrono::seconds(1));
  Go(Widget<QRadioButton>(*form, "RainRunRadioButton"), Widget<QPushButton>(*form, "GoButton1"));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], TornPairText(trend, results));
  EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isVisible());
}

// The trend file a graph reads is the graph's: a run in the same window
// afterwards writes only what it computed itself.
TEST_F(GraphicsTab, ReadingAGraphLeavesTheNextRunsTrendFileAlone) {
  MakeGraph("spotpy_d_spring2013.out", true);
  Go(Widget<QRadioButton>(*form, "RainRunRadioButton"), Widget<QPushButton>(*form, "GoButton1"));
  ExpectGraphShown(8);
  // Twelve records of the same rain on a full dead storage: the recharge has
  // no spread, so the run computes no quadratic.
  ShowTab(form->InputTabSheet);
  const int n = 12;
  Widget<QLineEdit>(*form, "NrOfDataEdit")->setText(QString::number(n));
  Widget<TStringGrid>(*form, "StringGrid1")->SetRowCount(n);
  form->Input().BaseCount = n;
  d().NrOfData = n;
  const double runoff[n] = {0.5, 0.6, 0.7, 0.8, 0.7, 0.6, 0.7, 0.9, 0.8, 0.6, 0.5, 0.6};
  for (int r = 0; r < n; ++r) {
    TypeCell(0, r, QString::number(r + 1));
    TypeCell(1, r, "0.1");
    TypeCell(2, r, "0");
    TypeCell(3, r, QString::number(runoff[r]));
  }
  TypeField(Widget<QLineEdit>(*form, "MaxStorEdit"), "1");
  TypeField(Widget<QLineEdit>(*form, "InitStorEdit"), "1");
  Choose(directory.File("level.inp"));
  form->InputSaveAction->trigger();
  const string trend = ReadFileBytes(directory.File("level.dat"));
  EXPECT_NE(trend.find("\r\nA=  0.00000 B=  0.00000 C=  0.00000\r\n\r\nQ= 0\r\n"), string::npos)
      << trend << ::testing::PrintToString(dialogs.messages);
}

TEST_F(GraphicsTab, MakeGraphOfPredictions) {
  const std::pair<const char*, const char*> files[] = {
      {"hupsel_h_dec2012_pred_runoff.out", "Reservoir storage"},
      {"hupsel_h_dec2012_pred_drain.out", "Watertable in time"}};
  for (const auto& [results, secondChoice] : files) {
    SCOPED_TRACE(results);
    MakeGraph(results);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(d().ResultsMarker, "PRED");
    EXPECT_FALSE(d().Analysis);
    EXPECT_FALSE(Widget<QWidget>(*form, "Panel1")->isVisible());
    EXPECT_TRUE(Widget<QWidget>(*form, "Panel3")->isVisible());
    EXPECT_EQ(Widget<QRadioButton>(*form, "RadioButton4")->text(), secondChoice);
    const std::pair<QRadioButton*, int> choices[] = {
        {Widget<QRadioButton>(*form, "RadioButton3"), 2},
        {Widget<QRadioButton>(*form, "RadioButton4"), 5},
        {Widget<QRadioButton>(*form, "RadioButton5"), 4}};
    for (const auto& [choice, kind] : choices) {
      SCOPED_TRACE(kind);
      Go(choice, Widget<QPushButton>(*form, "GoButton3"));
      ExpectGraphShown(kind);
      EXPECT_EQ(d().NrOfData, 480);
      QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
      EXPECT_TRUE(Widget<QWidget>(*form, "Panel3")->isVisible());
    }
  }
}

TEST_F(GraphicsTab, MakeGraphCancelledOrMissing) {
  Cancel();
  QTest::mouseClick(Widget<QPushButton>(*form, "MakeGraphButton"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, vector<string>{"No output file selected"});
  EXPECT_FALSE(form->Graphics().GraphReady());
  EXPECT_FALSE(Widget<QWidget>(*form, "Panel1")->isVisible());

  // A name that does not exist: the message with its comma, and still the
  // choice of graphs (the results file itself cannot be read).
  dialogs.messages.clear();
  Choose(directory.File("none.out"));
  QTest::mouseClick(Widget<QPushButton>(*form, "MakeGraphButton"), Qt::LeftButton);
  ASSERT_GE(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], "File does not exist, please select another one,");
  EXPECT_TRUE(form->Graphics().GraphReady());
  EXPECT_TRUE(Widget<QWidget>(*form, "Panel1")->isVisible() ||
              Widget<QWidget>(*form, "Panel3")->isVisible());
}

TEST_F(GraphicsTab, SaveColourAndBlackAndWhite) {
  MakeGraph("spotpy_d_spring2013.out", true);
  Go(Widget<QRadioButton>(*form, "CalcObsRadioButton"), Widget<QPushButton>(*form, "GoButton1"));
  ExpectGraphShown(7);

  const string colour = directory.File("colour.bmp");
  Choose(colour);
  QTest::mouseClick(Widget<QPushButton>(*form, "SaveGraphButton"), Qt::LeftButton);
  EXPECT_EQ(files.runs.back().Name, "GraphSaveDialog");
  EXPECT_EQ(dialogs.messages, vector<string>{"The graph was saved in  " + colour});
  EXPECT_EQ(ReadFileBytes(colour).substr(0, 2), "BM");
  const QImage colourPicture(QString::fromStdString(colour));
  EXPECT_EQ(colourPicture.size(), QSize(623, 465));
  EXPECT_TRUE(form->Graphics().ColourGraph());
  EXPECT_EQ(form->GraphSaveDialog.InitialDir.toStdString(), directory.Path().string());

  dialogs.messages.clear();
  const string blackWhite = directory.File("bw");  // the dialog adds ".bmp"
  Choose(blackWhite);
  QTest::mouseClick(Widget<QPushButton>(*form, "BlWhButton"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, vector<string>{"The graph was saved in  " + blackWhite + ".bmp"});
  const QImage bwPicture(QString::fromStdString(blackWhite + ".bmp"));
  EXPECT_EQ(bwPicture.size(), QSize(623, 465));
  EXPECT_FALSE(form->Graphics().ColourGraph());
  EXPECT_LT(ColourCount(bwPicture), ColourCount(colourPicture));
  // The graph on the tab was redrawn in black and white too.
  EXPECT_EQ(
      Widget<QLabel>(*form, "GraphImage")->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
      bwPicture.convertToFormat(QImage::Format_RGB32));

  // Later graphs stay black and white until a colour save.
  QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
  Go(Widget<QRadioButton>(*form, "RunoffRadioButton"), Widget<QPushButton>(*form, "GoButton1"));
  EXPECT_EQ(form->Graphics().GraphBitmap().convertToFormat(QImage::Format_RGB32),
            DrawGraph(d(), 1, false).convertToFormat(QImage::Format_RGB32));
  EXPECT_NE(form->Graphics().GraphBitmap().convertToFormat(QImage::Format_RGB32),
            DrawGraph(d(), 1, true).convertToFormat(QImage::Format_RGB32));

  // The File menu's "Save g&Raph" saves in colour again.
  dialogs.messages.clear();
  Choose(directory.File("menu.bmp"));
  form->GraphSaveAction->trigger();
  EXPECT_TRUE(form->Graphics().ColourGraph());
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_GT(ColourCount(QImage(QString::fromStdString(directory.File("menu.bmp")))),
            ColourCount(bwPicture));
}

TEST_F(GraphicsTab, SaveCancelledOrNotOverwritten) {
  MakeGraph("spotpy_d_spring2013.out");
  Go(Widget<QRadioButton>(*form, "RunoffRadioButton"), Widget<QPushButton>(*form, "GoButton1"));

  Cancel();
  QTest::mouseClick(Widget<QPushButton>(*form, "SaveGraphButton"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, vector<string>{"The graph was not saved"});

  dialogs.messages.clear();
  const string existing = directory.File("existing.bmp");
  WriteFileBytes(existing, "old");
  dialogs.answers = {false};
  Choose(existing);
  QTest::mouseClick(Widget<QPushButton>(*form, "BlWhButton"), Qt::LeftButton);
  EXPECT_EQ(dialogs.questions, vector<string>{"The file already exists, overwrite?"});
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(ReadFileBytes(existing), "old");

  dialogs.answers = {true};
  Choose(existing);
  QTest::mouseClick(Widget<QPushButton>(*form, "SaveGraphButton"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, vector<string>{"The graph was saved in  " + existing});
  EXPECT_EQ(QImage(QString::fromStdString(existing)).size(), QSize(623, 465));

  // A file that cannot be written is reported, not announced as saved.
  dialogs.messages.clear();
  Choose(directory.File("no/such/folder/graph.bmp"));
  QTest::mouseClick(Widget<QPushButton>(*form, "SaveGraphButton"), Qt::LeftButton);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].rfind("The graph could not be written", 0), 0u);
}

TEST_F(GraphicsTab, OpenBitmapAndJpegPictures) {
  QImage picture(200, 120, QImage::Format_RGB32);
  picture.fill(Qt::red);
  const string bmp = directory.File("picture.bmp");
  const string jpeg = directory.File("picture.jpg");
  ASSERT_TRUE(picture.save(QString::fromStdString(bmp), "BMP"));
  ASSERT_TRUE(picture.save(QString::fromStdString(jpeg), "JPEG"));

  for (const string& file : {bmp, jpeg}) {
    SCOPED_TRACE(file);
    Choose(file);
    QTest::mouseClick(Widget<QPushButton>(*form, "SeeGraphButton"), Qt::LeftButton);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(files.runs.back().Name, "GraphOpenDialog");
    EXPECT_EQ(d().FileName, file);
    EXPECT_TRUE(Widget<QLabel>(*form, "PictureImage")->isVisible());
    EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isVisible());
    // Shown at its own size, not stretched.
    EXPECT_EQ(Widget<QLabel>(*form, "PictureImage")->pixmap().size(), QSize(200, 120));
    EXPECT_FALSE(Widget<QLabel>(*form, "PictureImage")->hasScaledContents());
    const QRgb middle = Widget<QLabel>(*form, "PictureImage")->pixmap().toImage().pixel(100, 60);
    EXPECT_GT(qRed(middle), 200);
    EXPECT_LT(qGreen(middle), 50);
    EXPECT_FALSE(Widget<QPushButton>(*form, "SaveGraphButton")->isEnabled());
    EXPECT_FALSE(Widget<QPushButton>(*form, "SelectButton")->isEnabled());
  }
  EXPECT_EQ(form->GraphOpenDialog.InitialDir.toStdString(), directory.Path().string());
}

// A saved graph opened again is seen whole; a larger picture can be scrolled
// to its far corner. The dialog offers every kind of picture that opens.
TEST_F(GraphicsTab, OpenedPicturesAreSeenWhole) {
  const auto* box = form->GraphicsTabSheet->findChild<QScrollArea*>("PictureBox");
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->isVisible());  // nothing over the graph's place until a picture is opened
  const std::pair<QSize, bool> pictures[] = {{QSize(623, 465), true}, {QSize(900, 700), false}};
  for (const auto& [size, allInView] : pictures) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::green);
    const string png = directory.File("picture.png");
    ASSERT_TRUE(picture.save(QString::fromStdString(png), "PNG"));
    Choose(png);
    QTest::mouseClick(Widget<QPushButton>(*form, "SeeGraphButton"), Qt::LeftButton);
    ASSERT_TRUE(Widget<QLabel>(*form, "PictureImage")->isVisible());
    // What is in view, plus how far it scrolls, is all of the picture.
    const QSize inView =
        Widget<QLabel>(*form, "PictureImage")->visibleRegion().boundingRect().size();
    EXPECT_EQ(
        inView + QSize(box->horizontalScrollBar()->maximum(), box->verticalScrollBar()->maximum()),
        size);
    EXPECT_EQ(inView == size, allInView);
  }
  for (const char* pattern : {"*.bmp", "*.jpg", "*.jpeg", "*.png"}) {
    EXPECT_TRUE(files.runs.back().Filter.contains(pattern)) << pattern;
  }
}

TEST_F(GraphicsTab, OpenGraphFailures) {
  Cancel();
  QTest::mouseClick(Widget<QPushButton>(*form, "SeeGraphButton"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, vector<string>{"No graphics file selected"});

  dialogs.messages.clear();
  Choose(directory.File("gone.bmp"));
  QTest::mouseClick(Widget<QPushButton>(*form, "SeeGraphButton"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, vector<string>{"File does not exist, please select another one"});

  // A file that is no picture: a clear message, and the tab goes on working.
  dialogs.messages.clear();
  const string broken = directory.File("broken.bmp");
  WriteFileBytes(broken, "BM this is not a bitmap at all");
  Choose(broken);
  QTest::mouseClick(Widget<QPushButton>(*form, "SeeGraphButton"), Qt::LeftButton);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].rfind("The picture file \"" + broken + "\" could not be read", 0),
            0u);
  EXPECT_FALSE(Widget<QLabel>(*form, "PictureImage")->isVisible());
  MakeGraph("spotpy_d_flood2013_12d.out");
  Go(Widget<QRadioButton>(*form, "RunoffRadioButton"), Widget<QPushButton>(*form, "GoButton1"));
  ExpectGraphShown(1);
}

TEST_F(GraphicsTab, OpenGraphFromTheMenuOnAnotherTab) {
  QImage picture(50, 40, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  const string bmp = directory.File("menu.bmp");
  ASSERT_TRUE(picture.save(QString::fromStdString(bmp), "BMP"));
  ShowTab(form->OutputTabSheet);
  Choose(bmp);
  form->GraphOpenAction->trigger();
  EXPECT_EQ(form->PageControl1->currentWidget(), form->GraphicsTabSheet);
  EXPECT_TRUE(Widget<QLabel>(*form, "PictureImage")->isVisible());
  EXPECT_EQ(Widget<QLabel>(*form, "PictureImage")->pixmap().size(), QSize(50, 40));
}

TEST_F(GraphicsTab, ViewGraphFromTheOutputTab) {
  const string results = CopyExample("spotpy_d_flood2013_12d.out");
  ShowTab(form->OutputTabSheet);
  Choose(results);
  form->OutputOpenAction->trigger();
  ASSERT_TRUE(Widget<QPushButton>(*form, "ViewGraphButton")->isVisible());
  QTest::mouseClick(Widget<QPushButton>(*form, "ViewGraphButton"), Qt::LeftButton);
  EXPECT_EQ(form->PageControl1->currentWidget(), form->GraphicsTabSheet);
  EXPECT_TRUE(form->Graphics().GraphReady());
  EXPECT_TRUE(Widget<QWidget>(*form, "Panel1")->isVisible());
  EXPECT_FALSE(Widget<QPushButton>(*form, "SelectButton")->isEnabled());
  EXPECT_EQ(d().ResultsMarker, "RECO");

  // Leaving for the Output tab clears the graph readiness: back on the
  // graphics tab only "Open graph" and "Make graph" are offered.
  ShowTab(form->OutputTabSheet);
  ShowTab(form->GraphicsTabSheet);
  EXPECT_FALSE(Widget<QWidget>(*form, "Panel1")->isVisible());
  EXPECT_FALSE(Widget<QWidget>(*form, "Panel3")->isVisible());
}

TEST_F(GraphicsTab, CommentButtonShowsTheCommentWindow) {
  QWidget finish, help, comment, calculator;
  form->SetCompanions(&finish, &help, &comment, &calculator);
  MakeGraph("spotpy_d_flood2013_12d.out", true);
  Go(Widget<QRadioButton>(*form, "RainRunRadioButton"), Widget<QPushButton>(*form, "GoButton1"));
  ASSERT_TRUE(Widget<QPushButton>(*form, "CommentButton")->isEnabled());
  QTest::mouseClick(Widget<QPushButton>(*form, "CommentButton"), Qt::LeftButton);
  EXPECT_TRUE(comment.isVisible());
  // Showing another tab hides it again.
  ShowTab(form->InputTabSheet);
  EXPECT_FALSE(comment.isVisible());
  EXPECT_FALSE(Widget<QPushButton>(*form, "CommentButton")->isEnabled());
}

}  // namespace
