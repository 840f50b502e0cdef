// The real forms at 96 DPI sit where their design tables put them, as the window manager reports it.
#include "test_wizard_support.h"

#include <functional>
#include <vector>

#include "dialogs/untKatalog.h"
#include "dialogs/untKatalogDodaj.h"

namespace {

constexpr int kAuto = -1;  // not designed: an auto-sized label's size, a drop-down list's height

struct TDesign {
    const char* name;
    const TControl& control;
    int left, top, width, height;  // design pixels in the parent's client area; kAuto: not designed
};

// The form's client area and its controls' rectangles, from the window manager and from the accessors. At 96 DPI
// a design pixel is a physical pixel, so the literals compare with the window manager directly.
void ExpectForm(const char* form, const TForm& f, int clientWidth, int clientHeight,
                const std::vector<TDesign>& table)
{
    SCOPED_TRACE(form);
    ASSERT_EQ(DpiOf(f.Handle()), 96) << "the design is checked at 96 DPI";
    RECT client{};
    GetClientRect(f.Handle(), &client);
    EXPECT_EQ(client.right, clientWidth);
    EXPECT_EQ(client.bottom, clientHeight);
    EXPECT_EQ(f.ClientWidth(), clientWidth);
    EXPECT_EQ(f.ClientHeight(), clientHeight);
    for (const TDesign& d : table) {
        SCOPED_TRACE(d.name);
        const RECT r = RectInParent(d.control);
        EXPECT_EQ(r.left, d.left);
        EXPECT_EQ(r.top, d.top);
        EXPECT_EQ(d.control.Left(), d.left);
        EXPECT_EQ(d.control.Top(), d.top);
        if (d.width != kAuto) {
            EXPECT_EQ(r.right - r.left, d.width);
            EXPECT_EQ(d.control.Width(), d.width);
        }
        if (d.height != kAuto) {
            EXPECT_EQ(r.bottom - r.top, d.height);
            EXPECT_EQ(d.control.Height(), d.height);
        }
    }
}

// Shows a dialog modally; inside its loop (after its show handler) `inside` looks at it and closes it.
void InsideModal(TForm& form, const std::function<void()>& show, const std::function<void()>& inside)
{
    bool seen = false;
    Application.OnNextModalShown([&](TForm& f) {
        EXPECT_EQ(&f, &form);
        TModalWatchdog dog(form, 5000);
        seen = true;
        inside();
    });
    show();
    EXPECT_TRUE(seen);
}

} // namespace

class DesignTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        ShowWizard();
        ASSERT_TRUE(frmMain->Visible());
        ASSERT_EQ(frmMain->FJezyk, jzPolski) << "the geometry is designed for the Polish captions";
    }
};

TEST_F(DesignTest, MainFormFrameAndPages)
{
    TfrmMain& m = *frmMain;
    ExpectForm("frmMain", m, 623, 353, {
        // Frame: the left strip (its picture inside the two bevels), the bands, the buttons.
        {"pnlLeft", m.pnlLeft, 0, 0, 137, 353},
        {"Image1", m.Image1, 2, 2, 133, 349},
        {"pnlMain", m.pnlMain, 137, 0, 486, 353},
        {"pnlTop", m.pnlTop, 0, 0, 486, 53},
        {"lblTytul", m.lblTytul, 8, 8, 469, 15},
        {"lblKrok", m.lblKrok, 20, 28, kAuto, kAuto},
        {"pnlBottom", m.pnlBottom, 0, 316, 486, 37},
        {"Bevel1", m.Bevel1, 3, 3, 480, 8},
        {"btnWstecz", m.btnWstecz, 4, 10, 81, 25},
        {"btnDalej", m.btnDalej, 85, 10, 81, 25},
        {"btnZamknij", m.btnZamknij, 409, 10, 75, 25},
        // Every page fills the area between the bands.
        {"pnlIntro", m.pnlIntro, 0, 53, 486, 263},
        {"pnlUmowa", m.pnlUmowa, 0, 53, 486, 263},
        {"pnlOpcje", m.pnlOpcje, 0, 53, 486, 263},
        {"pnlInstalacja", m.pnlInstalacja, 0, 53, 486, 263},
        {"pnlKoniec", m.pnlKoniec, 0, 53, 486, 263},
        // Intro, inside its 12-pixel border: welcome text on top, note and language panel at the bottom.
        {"lblIntro", m.lblIntro, 12, 12, 462, 169},
        {"lblWersjaSpecjalna", m.lblWersjaSpecjalna, 12, 184, 462, 30},
        {"pnlJezyk", m.pnlJezyk, 12, 214, 462, 37},
        {"lblJezyk", m.lblJezyk, 2, 15, kAuto, kAuto},
        {"btnPolski", m.btnPolski, 200, 9, 38, 24},
        {"btnAngielski", m.btnAngielski, 238, 9, 38, 24},
        {"btnNiemiecki", m.btnNiemiecki, 276, 9, 38, 24},
        {"btnFrancuski", m.btnFrancuski, 314, 9, 38, 24},
        {"btnWloski", m.btnWloski, 353, 9, 38, 24},
        // Licence, inside its 12-pixel border.
        {"redUmowa", m.redUmowa, 12, 12, 462, 221},
        {"rdbUmowaAkceptuje", m.rdbUmowaAkceptuje, 12, 242, 173, 17},
        {"rdbUmowaNieAkceptuje", m.rdbUmowaNieAkceptuje, 196, 242, 237, 17},
        // Options.
        {"gbxKatalog", m.gbxKatalog, 12, 12, 465, 69},
        {"lblKatalog", m.lblKatalog, 12, 24, 357, kAuto},
        {"lblMiejsceWolne", m.lblMiejsceWolne, 12, 48, kAuto, kAuto},
        {"lblMiejsceWymagane", m.lblMiejsceWymagane, 224, 48, kAuto, kAuto},
        {"btnKatalog", m.btnKatalog, 380, 20, 75, 23},
        {"chbInstalujSlowniki", m.chbInstalujSlowniki, 12, 96, 429, 17},
        {"chbUtworzGrupe", m.chbUtworzGrupe, 12, 116, 429, 17},
        {"chbUtworzSkrotyTranslatorow", m.chbUtworzSkrotyTranslatorow, 12, 136, 433, 17},
        {"chbUtworzSkrotySlownikow", m.chbUtworzSkrotySlownikow, 12, 156, 425, 17},
        {"chbSkrotyAllUsers", m.chbSkrotyAllUsers, 12, 184, 405, 17},
        {"lblSkrotyAllUsers", m.lblSkrotyAllUsers, 32, 204, kAuto, kAuto},
    });
}

TEST_F(DesignTest, QuestionDialogBeforeItsFirstQuestion)
{
    // Every question re-lays the dialog out; shown plainly it keeps its design.
    TfrmPytanie& d = *frmPytanie;
    InsideModal(d, [&] { d.ShowModal(); }, [&] {
        ExpectForm("frmPytanie", d, 322, 124, {
            {"lblPytanie", d.lblPytanie, 16, 16, kAuto, kAuto},
            {"btnTak", d.btnTak, 8, 95, 97, 23},
            {"btnNie", d.btnNie, 112, 95, 97, 23},
            {"btnAnuluj", d.btnAnuluj, 216, 95, 97, 23},
        });
        d.btnTak.Click();
    });
}

TEST_F(DesignTest, FolderBrowserAndNewFolderDialog)
{
    TfrmKatalog& k = *frmKatalog;
    InsideModal(k, [] { WybierzKatalog("C:\\windows"); }, [&] {
        ExpectForm("frmKatalog", k, 444, 248, {
            {"trvKatalog", k.trvKatalog, 8, 8, 321, 205},
            {"edtKatalog", k.edtKatalog, 8, 220, 321, 21},
            {"btnOK", k.btnOK, 340, 8, 97, 25},
            {"btnAnuluj", k.btnAnuluj, 340, 40, 97, 25},
            {"btnUtworz", k.btnUtworz, 340, 80, 97, 25},
        });
        k.btnAnuluj.Click();
    });

    TfrmKatalogDodaj& n = *frmKatalogDodaj;
    InsideModal(n, [&] { n.ShowModal(); }, [&] {
        ExpectForm("frmKatalogDodaj", n, 288, 62, {
            {"edtDodaj", n.edtDodaj, 8, 8, 273, 21},
            {"btnDodaj", n.btnDodaj, 88, 36, 95, 23},
            {"btnAnuluj", n.btnAnuluj, 188, 36, 95, 23},
        });
        n.btnAnuluj.Click();
    });
}

TEST_F(DesignTest, CdDriveDialog)
{
    TfrmCD& c = *frmCD;
    InsideModal(c, [] { WybierzNapedCD(); }, [&] {
        // Bottom panels from the bottom up (36, 37, 34); the prompt's panel takes the rest, 105 high, and
        // the prompt fills it inside an 8-pixel border. The drop-down list's height is the system's.
        ExpectForm("frmCD", c, 303, 212, {
            {"pnlPrzyciski", c.pnlPrzyciski, 0, 176, 303, 36},
            {"pnlJezyk", c.pnlJezyk, 0, 139, 303, 37},
            {"pnlDrive", c.pnlDrive, 0, 105, 303, 34},
            {"pnlCD", c.pnlCD, 0, 0, 303, 105},
            {"lblCD", c.lblCD, 8, 8, 287, 89},
            {"cmbDrive", c.cmbDrive, 8, 4, 289, kAuto},
            {"lblJezyk", c.lblJezyk, 8, 15, kAuto, kAuto},
            {"btnPolski", c.btnPolski, 200, 9, 38, 24},
            {"btnAngielski", c.btnAngielski, 238, 9, 38, 24},
            {"btnNiemiecki", c.btnNiemiecki, 276, 9, 38, 24},
            {"btnFrancuski", c.btnFrancuski, 314, 9, 38, 24},
            {"btnOK", c.btnOK, 144, 7, 75, 25},
            {"btnAnuluj", c.btnAnuluj, 224, 7, 75, 25},
        });
        c.btnAnuluj.Click();
    });
}
