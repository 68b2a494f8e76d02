// The author's addresses and the About box notice, in one place for the templates and the code.
#pragma once

#define QUILLET_HOMEPAGE "https://quillet.example.net/"
#define QUILLET_HOMEPAGE_INDEX "https://quillet.example.net/index.html"
#define QUILLET_MAIL_ADDRESS "author@example.net"
#define QUILLET_MAIL_TEXT "E-mail：author@example.net"
#define QUILLET_NOTICE "Freeware. Drop it, it's done."
