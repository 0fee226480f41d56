# First boot of a new image: the Wine template prefix (Japanese Windows 95
# settings, fonts, virtual desktop) is made once and kept in the image.
export KELVO_WINE_CACHE=/opt/kelvo-wine
export KELVO_WINE=/usr/lib/wine/wine KELVO_WINESERVER=/usr/lib/wine/wineserver
ls /usr/lib/wine
start=$(date +%s)
source /opt/kelvo/tools/wine-env.sh
wine_template
if [ -f /opt/kelvo-wine/template/.ready ]; then
  echo "template made in $(( $(date +%s) - start )) s"
  echo "template ready"
fi
