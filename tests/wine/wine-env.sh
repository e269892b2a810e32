# Sourced by the wine harness: the environment every wine program of the tests runs in.
# $HEXLOADER_WINE_DIR is the harness's folder inside the Windows build folder.
: "${HEXLOADER_WINE_DIR:?}"
export WINEPREFIX="$HEXLOADER_WINE_DIR/prefix"
export WINEDEBUG=-all
# No .NET or HTML engine: their installers would be offered when the prefix is made, and nothing needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
# The modem-line answers for pseudo-terminals (modem_lines_preload.cpp).
export LD_PRELOAD="$HEXLOADER_WINE_DIR/libhexloader_modem_lines.so${LD_PRELOAD:+:$LD_PRELOAD}"
# The COM ports of the prefix: each name leads to a link in the harness folder, which a test points at
# the pseudo-terminal of the simulated device it starts.
HEXLOADER_WINE_PORTS="COM5 COM6 COM7"
wine_port_link() { echo "$HEXLOADER_WINE_DIR/tty$1"; }
