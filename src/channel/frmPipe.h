#pragma once
// The pipe window ("Pipe Properties") of a clamp-on channel: the pipe's outside diameter, wall
// thickness and wall material, the number of traverses of the sound path and the transducer
// spacing, which CALC works out from the transducer's wedge. Lengths are shown in the unit chosen
// here ("mm" on every opening) and stored in metres when the user goes back.

#include "meterdata/modData.h"
#include "platform/picturebutton.h"

#include <QWidget>

#include <cstdint>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class Session;

namespace cellinput {
class Refusals;
}

// A picture of the sound path through the pipe for one or two traverses; the chosen one carries a
// single-line border (BorderStyle 1, else 0).
class TraversePicture : public PictureButton {
    Q_OBJECT
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle)
public:
    // Placed at left/top, width x height twips.
    TraversePicture(QWidget* parent, int traverses, int left, int top, int width, int height);
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_traverses;
    int m_borderStyle = 0;
};

class frmPipe : public QWidget {
    Q_OBJECT
public:
    explicit frmPipe(Session& session, QWidget* parent = nullptr);
    ~frmPipe() override;

    // Handed over by the window that opens this one before Set_Form.
    std::int16_t Channel = 0;
    std::int16_t MaterialIndex = 1; // row of the wall material list

    // Fills the window from the channel's record and shows it.
    void Set_Form();
    void SetLang(std::int16_t iLang);

    // Control handlers.
    void img1Trav_Click();
    void img2Trav_Click();
    void cmbUnit_Click();
    void cmbUnit_Change();
    void cmdCalcSpace_Click();
    void imgBack_Click();

    // The traverse count chosen in the window (1 or 2); stored on back.
    int TraverseCount() const { return m_traverses; }

    QLineEdit* txtOD = nullptr;
    QLineEdit* txtWall = nullptr;
    QLineEdit* txtSpace = nullptr;
    QComboBox* cmbMaterial = nullptr;
    QComboBox* cmbUnit = nullptr;
    TraversePicture* img1Trav = nullptr;
    TraversePicture* img2Trav = nullptr;
    QPushButton* cmdCalcSpace = nullptr;
    PictureButton* imgBack = nullptr;
    LanguageArray imgOD;
    LanguageArray imgWall;
    LanguageArray imgMaterial;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    modData::ChannelRecord& channel();
    void setTraverses(int n);
    struct PipeBoxes {
        double outside; // m
        double wall;    // m
        bool outsideChanged; // the box differs from what the window opened with
        bool wallChanged;
    };
    // The outside diameter and wall in metres. With keepShown, a box still showing what it
    // opened with gives its cell's value. Nothing, with the boxes noted in refused, when a box
    // cannot be read or the wall leaves no inside diameter.
    std::optional<PipeBoxes> readPipe(bool keepShown, cellinput::Refusals& refused);
    // The back's store; false, storing nothing, when a box is refused.
    bool storeBoxes();
    void refuse(cellinput::Refusals& refused, const QString& field, QLineEdit& box, double scale);
    // The text of the value a refused box keeps: as the window showed it, or in the unit chosen
    // since.
    QString keptText(const QLineEdit& box);
    bool shownUnchanged(const QLineEdit& box, const QString& shown) const;

    Session& m_session;
    int m_unitKind = 1;
    float m_factor = 0.001f;
    int m_traverses = 1;
    // What the boxes showed when the window opened, and in which unit: a box still showing it
    // leaves its cell exactly as it was.
    QString m_shownOD;
    QString m_shownWall;
    QString m_shownSpace;
    float m_shownFactor = 0.001f;
};
