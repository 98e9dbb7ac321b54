#include "ui/about_texts.h"

namespace tabulon {

namespace {

Text Entry(TextView tag, TextView address) {
    Text entry(tag);
    entry += u"  -  ";
    entry += address;
    return entry;
}

}  // namespace

Text AboutVisitText() {
    Text text(u"Visit ");
    text += kMakerWebAddress;
    text += u" for news and updates and other software by Quenlar";
    return text;
}

Text AboutContactText() {
    Text text = Entry(u"web", kMakerWebAddress);
    text.append(35, u' ');
    text += Entry(u"msn", kMakerMessengerAddress);
    text.append(4, u' ');
    text += Entry(u"email", kMakerMailAddress);
    return text;
}

}  // namespace tabulon
