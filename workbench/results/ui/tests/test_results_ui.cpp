#include <QTest>

class ResultsUiTest : public QObject {
    Q_OBJECT
};

QTEST_MAIN(ResultsUiTest)
#include "test_results_ui.moc"
