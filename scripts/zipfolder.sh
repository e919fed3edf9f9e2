# Sourced by release.sh and invitation.sh: the one way release zips are
# packed, so the same files always give the same zip.
#
# zip_folder ZIP DIR ITEM: ITEM (a path inside DIR) into ZIP, its files in
# name order and dated SOURCE_DATE_EPOCH (read in UTC). DIR is a staging
# copy: the dates of build outputs are left alone, or the next build would
# redo them.
zip_folder() {
  local zip=$1 dir=$2 item=$3
  find "$dir/$item" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$dir" && find "$item" -print | LC_ALL=C sort | TZ=UTC zip -q -X -9 "$zip" -@)
}
