// The project's addresses on the Internet: home page, hiscore list and upload, level mail.
#pragma once

namespace blubbi::addr {

inline constexpr char HomePage[] = "https://www.velkor.de/";
inline constexpr char HiscoreListPage[] = "https://www.velkor.de/blubbi/showhi.php";
// Takes a form post with the fields "name" and "punkte"; any 2xx answer means stored.
inline constexpr char HiscoreUpload[] = "https://www.velkor.de/blubbi/inshi.php";
inline constexpr char LevelMail[] = "level@velkor.de";

}  // namespace blubbi::addr
