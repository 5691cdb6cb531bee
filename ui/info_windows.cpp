#include "ui/info_windows.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <thread>

#include "engine/base/format.h"
#include "engine/state/workbench.h"
#include "estimetrix_version.h"

namespace estimetrix {

namespace {

QString SeedText(const std::optional<std::uint64_t>& seed) {
  return seed ? QString::number(static_cast<qulonglong>(*seed)) : QString();
}

// The results summary's random seed: blank draws from the clock; anything
// but a whole number from 0 up is refused and the previous seed kept.
QLineEdit* AddSeedEditor(QDialog& dialog, QFormLayout& form, Workbench& wb) {
  auto* seed = new QLineEdit(&dialog);
  seed->setObjectName("txtSeed");
  seed->setPlaceholderText("from the clock");
  seed->setText(SeedText(wb.SummarySeed));
  seed->setToolTip(
      "The results summary's randomizations and simulations start from this seed, so the same "
      "seed repeats the same summary. Leave it blank to seed from the clock.");
  form.addRow("Random seed...", seed);
  auto checking = std::make_shared<bool>(false);
  QObject::connect(seed, &QLineEdit::editingFinished, &dialog, [&dialog, &wb, seed, checking] {
    if (*checking) return;  // the message box takes the focus and finishes the edit again
    const std::string text = seed->text().trimmed().toStdString();
    if (text.empty()) {
      wb.SummarySeed.reset();
      return;
    }
    long long value = 0;
    if (StrictInteger(text, 0, std::numeric_limits<long long>::max(), value)) {
      wb.SummarySeed = static_cast<std::uint64_t>(value);
      return;
    }
    *checking = true;
    QMessageBox::warning(&dialog, "Random seed",
                         "The random seed must be a whole number from 0 up, or blank to seed "
                         "from the clock. The previous seed is kept.");
    seed->setText(SeedText(wb.SummarySeed));
    *checking = false;
  });
  return seed;
}

const char* const kDefaultsText = R"(
<h3>Default file names</h3>
<p>Whenever something is about to be saved that has no name yet, Estimetrix proposes an
eight-digit name made of the month, day, hour and minute of the moment, followed by the
extension of the file kind: for example <tt>mmddhhmm.alg</tt> for an algorithm file,
<tt>mmddhhmm.cov</tt> for covariance results or <tt>mmddhhmm.pri</tt> for priors. The name is
only a proposal: change it in the save dialogue before pressing Save.</p>
<p>Choosing default values when loading algorithm data gives the data such a name at once, and
the minimization log is called <tt>minimize.exl</tt> unless you name it otherwise in the
algorithm data editor. The results summary proposes <tt>Carapex_Results.exo</tt>.</p>

<h3>Reading the reports</h3>
<p>A value of <b>-1</b> for a standard error, a correlation or any other derived quantity in the
covariance output (and in every other report) means that no reliable value could be computed:
the Hessian at that point could not be inverted, was not positive definite, or a grid was
interrupted. Treat such parameters as undetermined rather than as precise.</p>
<p>Report and log windows use a fixed-width font so that their columns line up; the text can be
selected and copied. Saved report files carry the line "Originally saved with the file name:"
at the top, so a copied or renamed file still says where it came from.</p>

<h3>Display</h3>
<p>Child windows can be cascaded, tiled or have their icons arranged from the Window menu.
"Main menu" in the Application menu brings the menu form back if it has been closed.</p>
)";

const char* const kWisdomText = R"(
<h3>Fitting growth by instar</h3>
<ul>
<li><b>Start simple.</b> Fit the fewest instars the size-frequency data clearly show, with
Gaussian instars, before adding blended instars, selectivity or gamma errors. Add one feature at
a time and compare the fits with the multi-model statistics.</li>
<li><b>Good starting values matter.</b> Read instar means off the peaks of the size-frequency
data and give them modest step sizes. A minimizer started far from the answer can settle on
a fit that swaps or merges instars.</li>
<li><b>Fix what the data cannot tell.</b> A parameter whose standard error comes out as -1, or
whose correlation with another is close to 1 or -1, is not determined by the data. Fix it (step
size 0), fuse it to a related parameter (same fuse code), or give it an informative prior.</li>
<li><b>Use both minimizers.</b> Let the Simplex find the neighbourhood of the minimum, then let
Marquardt polish it. Restart the Simplex from its own answer: a minimum that comes back twice
is more trustworthy than one found once.</li>
<li><b>Look at the fit.</b> A small objective is not enough. Check the plots of observed and
predicted frequencies and increments, and the goodness-of-fit tests in the results summary.</li>
<li><b>Be honest with priors.</b> A prior should say what was known before these data were
collected. Compare the posterior with the prior: when they agree closely the data have taught
little about that parameter.</li>
<li><b>Keep a record.</b> Save the algorithm data after every successful run under a telling
name, and keep the minimization log open while you explore.</li>
</ul>
)";

const char* const kCreditsText = R"(
<h3>Estimetrix )" ESTIMETRIX_VERSION R"(</h3>
<p>A workbench for maximum-likelihood and Bayesian estimation of crustacean growth by instar,
built around the Carapex model of size-frequency and moult-increment data.</p>
<p>Our thanks go to the biologists who shared their size-frequency and moult-increment data and
their patience while the methods took shape, and to everyone who tried early versions and told
us where they went wrong.</p>

<h3>Reference</h3>
<p>The Simplex minimizer follows<br>
Nelder, J.A. and Mead, R. (1965) A simplex method for function minimization.
<i>The Computer Journal</i> 7: 308-313.</p>
)";

// `extra` adds controls below the text (the Defaults window's settings).
void ShowInfo(QWidget* mainWindow, const char* objectName, const char* title, const char* html,
              const std::function<void(QDialog&, QVBoxLayout&)>& extra = {}) {
  QDialog dialog(mainWindow);
  dialog.setObjectName(objectName);
  dialog.setWindowTitle(title);
  // Application-modal: the main window takes no input while this is open.
  dialog.setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QTextBrowser(&dialog);
  text->setObjectName("txtInfo");
  text->setHtml(QString::fromUtf8(html));
  text->setOpenLinks(false);
  layout->addWidget(text);
  if (extra) extra(dialog, *layout);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.resize(580, 520);
  dialog.exec();
}

}  // namespace

void ShowDefaultsWindow(QWidget* mainWindow, Workbench& wb) {
  ShowInfo(mainWindow, "frmDefaults", "Defaults etc.", kDefaultsText,
           [&wb](QDialog& dialog, QVBoxLayout& layout) {
             auto* form = new QFormLayout;
             auto* threads = new QSpinBox(&dialog);
             threads->setObjectName("spnThreads");
             threads->setRange(0, 1024);
             const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
             threads->setSpecialValueText(QString("All (%1)").arg(hardware));
             threads->setValue(wb.ThreadCount);
             threads->setToolTip(
                 "Covariance grids and Marquardt's numerical derivatives evaluate independent "
                 "points side by side on this many threads. Results are the same for any "
                 "number; 1 evaluates one point at a time.");
             form->addRow("Threads for independent evaluations:", threads);
             AddSeedEditor(dialog, *form, wb);
             layout.addLayout(form);
             QObject::connect(threads, &QSpinBox::valueChanged, &dialog,
                              [&wb](int value) { wb.ThreadCount = value; });
           });
}

void ShowWisdomWindow(QWidget* mainWindow) {
  ShowInfo(mainWindow, "frmWisdom", "Wisdom", kWisdomText);
}

void ShowCreditsWindow(QWidget* mainWindow) {
  ShowInfo(mainWindow, "frmCredits", "Credits", kCreditsText);
}

}  // namespace estimetrix
