package hello;

/** The example application: greets and lists what the launcher handed over. */
public final class Main {
    public static void main(String[] args) {
        System.out.println("Hello from the example application.");
        if (args.length >= 2) {
            System.out.println("properties file: " + args[0]);
            System.out.println("hand-off file:   " + args[1]);
        }
        for (int i = 2; i < args.length; i++) {
            System.out.println("argument: " + args[i]);
        }
    }
}
