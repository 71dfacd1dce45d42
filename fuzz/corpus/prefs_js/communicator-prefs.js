// Netscape User Preferences
// This is a generated file!  Do not edit.

user_pref("mail.identity.username", "Jo \"JJ\" Example");
user_pref("mail.identity.useremail", "jo@example.net");
user_pref("network.hosts.pop_server", "pop.example.net");
user_pref("network.hosts.smtp_server", "smtp.example.net"); // later wins
user_pref("mail.check_time", 10);
