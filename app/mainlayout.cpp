#include "app/mainlayout.h"

namespace pm {

MainLayout designLayout()
{
    MainLayout l;
    l.lblURL = {120, 500, 495, 255};
    l.cmdGo = {7560, 500, 975, 375};
    l.cmbURL = {600, 500, 6855, 315};
    l.lstUrl = {120, 6720, 9375, 1035};
    l.cmdSelNone = {9720, 6840, 1335, 375};
    l.cmdSelAll = {9720, 7440, 1335, 375};
    l.cmdShowQue = {8040, 8160, 1335, 375};
    l.lblStatus = {120, 6480, 4695, 255};
    l.cmdHome = {2460, 60, 1095, 375};
    l.cmdRefresh = {3630, 60, 1095, 375};
    l.cmdBack = {120, 60, 1095, 375};
    l.cmdForward = {1290, 60, 1095, 375};
    l.cmdStop = {4800, 60, 1095, 375};
    l.cmdAdd = {6240, 8160, 1575, 375};
    l.WebBrowser1 = {50, 950, 11175, 5055};
    return l;
}

void applyResizeRules(MainLayout& l, int W, int H)
{
    l.WebBrowser1.setWidth(W - 200);
    l.cmbURL.setWidth(W - 2500);
    l.cmdGo.moveLeft(W - 1365);
    l.WebBrowser1.setHeight(H - 3600);
    l.lblStatus.moveTop(l.WebBrowser1.height() + l.WebBrowser1.top() + 50);
    l.lstUrl.moveTop(l.lblStatus.height() + l.lblStatus.top() + 50);
    l.cmdSelAll.moveTop(l.lstUrl.top() + 100);
    l.cmdSelNone.moveTop(l.lstUrl.top() + 600);
    l.lstUrl.setWidth(W - 2000);
    l.cmdSelAll.moveLeft(W - 1725);
    l.cmdSelNone.moveLeft(W - 1725);
    l.cmdShowQue.moveTop(l.lstUrl.height() + l.lstUrl.top() + 50);
    l.cmdShowQue.moveLeft(W - 3405);
    l.cmdAdd.moveTop(l.lstUrl.height() + l.lstUrl.top() + 50);
    l.cmdAdd.moveLeft(W - 5205);
}

}  // namespace pm
