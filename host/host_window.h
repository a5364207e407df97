#pragma once

#include <QMainWindow>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The demo host: stands in for the land-registry application that opens the
// survey table of a parcel through the component.
class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostWindow(QWidget *parent = nullptr);

    void setUnitCode(const QString &dwdm);
    void setParcelNumber(const QString &zdh);
    void setFormKind(int lx);

private slots:
    void openSurveyTable();

private:
    QLineEdit *m_dwdm;
    QLineEdit *m_zdh;
    QComboBox *m_kind;
    QPushButton *m_open;
    QLabel *m_result;
};

// Creates the component by its ProgID, calls showdcbfrm once (blocking until
// the user closes the survey form) and releases it again. Returns the call's
// result, or the creation failure; error gets a message for the user, step
// the name of the call the result is of (ZarnCreateInstanceFromProgID or
// showdcbfrm).
int32_t showSurveyTable(const QString &dwdm, const QString &zdh, int8_t lx, uint32_t winhandle,
                        QString *error, const char **step = nullptr);
