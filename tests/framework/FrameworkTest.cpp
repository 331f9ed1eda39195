#include <gtest/gtest.h>

#include <stdexcept>

#include "base/Exceptions.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/headless/HeadlessBackend.h"

namespace qvr {
namespace {

class FrameworkTest : public ::testing::Test {
 protected:
  FrameworkTest() { app.Title = "Setup"; }
  HeadlessBackend backend;
  TApplication app{backend};
};

TEST(ErrorBoxTextTest, AppendsFullStopOnlyAfterCharactersAboveIt) {
  struct Case {
    const char* message;
    const char* shown;
  } cases[] = {
      {"Unable to create .lnk file", "Unable to create .lnk file."},
      {"Fertig.", "Fertig."},
      {"Fehler!", "Fehler!"},
      {"Wert,", "Wert,"},
      {"Pfad C:/", "Pfad C:/."},
      {"Größe", "Größe."},  // the last byte of a multi-byte character is above '.'
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

TEST(TitleTest, IsTheProgramFileNameWithoutFolderAndExtension) {
  EXPECT_EQ(TitleFromExeName("D:\\Install\\Setup.exe"), "Setup");
  EXPECT_EQ(TitleFromExeName("E:\\Setup.exe"), "Setup");
  EXPECT_EQ(TitleFromExeName("C:\\v1.2\\Setup"), "Setup");
  EXPECT_EQ(TitleFromExeName("/opt/qvr/setup.bin"), "setup");
}

TEST_F(FrameworkTest, MessageDialogKindsHaveGermanCaptionsAndIcons) {
  TForm main(app);
  TForm asking(app);
  backend.QueueAnswer(mrYes);
  backend.QueueAnswer(mrNo);
  backend.QueueAnswer(mrOk);
  EXPECT_EQ(MessageDlg(asking, "Frage", mtConfirmation, {mbCancel, mbYes}), mrYes);
  EXPECT_EQ(MessageDlg(asking, "Achtung", mtWarning, {mbNo, mbYes}), mrNo);
  EXPECT_EQ(MessageDlg(asking, "Hinweis", mtCustom, {mbOK}), mrOk);

  const auto& d = backend.Dialogs();
  ASSERT_EQ(d.size(), 3u);
  for (const auto& box : d) EXPECT_EQ(box.owner, &asking);
  EXPECT_EQ(d[0].caption, "Bestätigen");
  EXPECT_EQ(d[0].icon, DialogIcon::Question);
  EXPECT_EQ(d[0].buttons, (std::vector<TMsgDlgBtn>{mbYes, mbCancel}));
  EXPECT_EQ(d[1].caption, "Warnung");
  EXPECT_EQ(d[1].icon, DialogIcon::Warning);
  EXPECT_EQ(d[1].buttons, (std::vector<TMsgDlgBtn>{mbYes, mbNo}));
  EXPECT_EQ(d[2].caption, "Setup");
  EXPECT_EQ(d[2].icon, DialogIcon::None);
  EXPECT_TRUE(backend.UnexpectedDialogs().empty());
}

TEST_F(FrameworkTest, ButtonTextsAndAnswers) {
  EXPECT_STREQ(ButtonText(mbYes), "&Ja");
  EXPECT_STREQ(ButtonText(mbNo), "&Nein");
  EXPECT_STREQ(ButtonText(mbOK), "OK");
  EXPECT_STREQ(ButtonText(mbCancel), "Abbrechen");
  EXPECT_EQ(ButtonResult(mbYes), mrYes);
  EXPECT_EQ(ButtonResult(mbNo), mrNo);
  EXPECT_EQ(ButtonResult(mbOK), mrOk);
  EXPECT_EQ(ButtonResult(mbCancel), mrCancel);
}

TEST_F(FrameworkTest, UnansweredQuestionIsRecordedAsUnexpected) {
  TForm form(app);
  EXPECT_EQ(MessageDlg(form, "Frage", mtConfirmation, {mbYes, mbNo}), mrCancel);
  EXPECT_EQ(backend.UnexpectedDialogs().size(), 1u);
}

TEST_F(FrameworkTest, ErrorEscapingAHandlerShowsTheErrorBoxWithTheTitle) {
  TForm form(app);
  TButton button(form, nullptr);
  button.OnClick = [](TComponent*) { throw Exception("Unable to create .lnk file"); };
  button.Click();
  ASSERT_EQ(backend.Dialogs().size(), 1u);
  const auto& box = backend.Dialogs()[0];
  EXPECT_EQ(box.caption, "Setup");
  EXPECT_EQ(box.text, "Unable to create .lnk file.");
  EXPECT_EQ(box.owner, &form);
  EXPECT_EQ(box.icon, DialogIcon::Error);
  EXPECT_EQ(box.buttons, std::vector<TMsgDlgBtn>{mbOK});
  EXPECT_EQ(backend.Beeps(), 0);

  button.OnClick = [](TComponent*) { throw std::runtime_error("kaputt"); };
  button.Click();
  EXPECT_EQ(backend.Dialogs().back().text, "kaputt.");
}

TEST_F(FrameworkTest, HaltPassesThroughHandlersAndIsRecorded) {
  TForm form(app);
  TButton button(form, nullptr);
  button.OnClick = [this](TComponent*) { app.Halt(5); };
  EXPECT_THROW(button.Click(), ProgramHalt);
  EXPECT_EQ(backend.HaltCode(), 5);
  EXPECT_TRUE(backend.Dialogs().empty());
}

TEST_F(FrameworkTest, FirstFormIsTheMainForm) {
  TForm first(app);
  TForm second(app);
  EXPECT_EQ(app.MainForm(), &first);
  first.Close();
  EXPECT_TRUE(app.Terminated());
}

TEST_F(FrameworkTest, ModalShowingEndsOnCloseUnlessRefused) {
  TForm main(app);
  TForm dialog(app);
  bool refuse = true;
  int asked = 0;
  dialog.OnClose = [&](TComponent* sender, TCloseAction& action) {
    EXPECT_EQ(sender, &dialog);
    ++asked;
    if (refuse) action = caNone;
  };
  backend.OnModal = [&](TForm& form) {
    EXPECT_TRUE(form.Visible());
    form.Close();
    EXPECT_EQ(form.ModalResult, mrNone);
    refuse = false;
    form.Close();
  };
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(dialog.Visible());
  EXPECT_FALSE(app.Terminated());
}

TEST_F(FrameworkTest, ModalShowingReturnsAtOnceAfterTerminate) {
  TForm main(app);
  TForm dialog(app);
  app.Terminate();
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(backend.ModalShowings(), 0);
  EXPECT_TRUE(backend.TerminatingCalled());
}

TEST_F(FrameworkTest, ControlsKeepTheirState) {
  TForm form(app);
  TPanel panel(form, nullptr);
  TMemo memo(form, &panel);
  memo.SetLines({"eins", "", "drei"});
  EXPECT_EQ(memo.Caption(), "eins\r\n\r\ndrei");
  EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"eins", "", "drei"}));
  // A lone CR separates lines in our texts; a caption keeps CR LF, once.
  memo.SetCaption("a\rb\r\nc\r");
  EXPECT_EQ(memo.Caption(), "a\r\nb\r\nc\r\n");
  memo.SetEnabled(false);
  memo.SetVisible(false);
  memo.SetBounds(8, 48, 513, 281);
  EXPECT_FALSE(memo.Enabled());
  EXPECT_FALSE(memo.Visible());
  EXPECT_EQ(memo.Bounds(), (TBounds{8, 48, 513, 281}));
  EXPECT_EQ(memo.Parent(), &panel);
  EXPECT_EQ(form.Controls().size(), 2u);
  form.HandleNeeded();
  EXPECT_EQ(form.WindowHandle(), nullptr);
}

}  // namespace
}  // namespace qvr
